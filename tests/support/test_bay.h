// Simulated bays as tests describe them. A test names only what is its own:
// the discs and their images, the drives and what is in them, the faults and
// the operator's steps. Timing is instant and a loaded disc is ready at
// once unless the test says otherwise. The same description serves the
// native and Windows tests (built into a simulator in the test) and the GUI
// tests (written to a file for the virtual wizard).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vestrel::sim::testing {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("vestrel-sim-test-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    std::mt19937 generator(seed);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(generator());
    return bytes;
}

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// `blocks` of data whose block 16 is an ISO 9660 volume descriptor naming
// the volume, so that the disc has a label.
inline std::vector<uint8_t> LabelledData(uint32_t blocks, const std::string& label, uint32_t seed) {
    std::vector<uint8_t> bytes = PatternBytes(size_t{blocks} * 2048, seed);
    uint8_t* pvd = bytes.data() + 16 * 2048;
    pvd[0] = 1;
    std::copy_n("CD001", 5, pvd + 1);
    pvd[6] = 1;
    std::fill_n(pvd + 40, 32, ' ');
    std::copy(label.begin(), label.end(), pvd + 40);
    return bytes;
}

// A track of a source disc: its kind and its bytes (2048 or 2352 a block).
struct SourceTrack {
    bool data = true;
    std::vector<uint8_t> bytes;
    uint32_t blocks() const { return static_cast<uint32_t>(bytes.size() / (data ? 2048 : 2352)); }
};

// Tracks of patterned bytes, one per block count: positive counts are data
// tracks, negative ones audio; seeds follow on from `seed`.
inline std::vector<SourceTrack> PatternTracks(const std::vector<int>& blocks, uint32_t seed) {
    std::vector<SourceTrack> tracks;
    for (int n : blocks) {
        const bool data = n > 0;
        const size_t count = static_cast<size_t>(data ? n : -n);
        tracks.push_back({data, PatternBytes(count * (data ? 2048 : 2352), seed++)});
    }
    return tracks;
}

// An audio (or mixed) CD as a cue sheet and one BINARY file.
inline fs::path WriteCueBin(const fs::path& folder, const std::string& name,
                            const std::vector<SourceTrack>& tracks) {
    std::ofstream bin(folder / (name + ".bin"), std::ios::binary | std::ios::trunc);
    std::ofstream cue(folder / (name + ".cue"));
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    uint32_t frame = 0;
    int number = 1;
    for (const SourceTrack& t : tracks) {
        char line[80];
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n    INDEX 01 %02u:%02u:%02u\n", number++,
                      t.data ? "MODE1/2048" : "AUDIO", frame / 4500, (frame / 75) % 60, frame % 75);
        cue << line;
        bin.write(reinterpret_cast<const char*>(t.bytes.data()),
                  static_cast<std::streamsize>(t.bytes.size()));
        frame += t.blocks();
    }
    return folder / (name + ".cue");
}

// A bay description built up by what it holds, in the description file's
// own terms (docs/simulator.md). Sections come out in the order described,
// the operator's last.
class BaySpec {
  public:
    // A top-level line: "appdata-free = 50M".
    BaySpec& Top(const std::string& line) {
        top_ += line + "\n";
        return *this;
    }

    // A pressed data disc whose image NAME.iso holds `bytes`.
    BaySpec& Iso(const std::string& name, const std::string& type, std::vector<uint8_t> bytes) {
        images_.push_back({name + ".iso", std::move(bytes), {}});
        return IsoFile(name, type, name + ".iso");
    }
    // A pressed data disc from an image the test writes itself.
    BaySpec& IsoFile(const std::string& name, const std::string& type, const std::string& file) {
        return Disc(name, "iso = " + file + "\ntype = " + type);
    }
    // A pressed CD from the tracks, as NAME.cue and NAME.bin.
    BaySpec& Cue(const std::string& name, std::vector<SourceTrack> tracks) {
        images_.push_back({name, {}, std::move(tracks)});
        return Disc(name, "cue = " + name + ".cue");
    }
    // A used disc of `blocks` written blocks.
    BaySpec& Used(const std::string& name, const std::string& type, uint32_t blocks) {
        return Disc(name, "used = " + type + "\nblocks = " + std::to_string(blocks));
    }
    // Any other disc, by its lines.
    BaySpec& Disc(const std::string& name, const std::string& lines) {
        sections_.push_back({"[disc " + name + "]", lines + "\n", false});
        discs_.push_back(name);
        operatorLast_ = false;
        return *this;
    }

    // A drive model of the test's own, by its lines.
    BaySpec& Model(const std::string& name, const std::string& lines) {
        sections_.push_back({"[model " + name + "]", lines + "\n", false});
        operatorLast_ = false;
        return *this;
    }

    // A fixed drive backed by a host folder: "free = 60M".
    BaySpec& Folder(char letter, const std::string& lines) {
        sections_.push_back({std::string("[folder ") + letter + "]", lines + "\n", false});
        operatorLast_ = false;
        return *this;
    }

    // A drive of the model, holding the named disc (none when empty).
    BaySpec& Drive(char letter, const std::string& model, const std::string& disc = "") {
        std::string lines = "model = " + model + "\n";
        if (!disc.empty())
            lines += "disc = " + disc + "\n";
        sections_.push_back({std::string("[drive ") + letter + "]", lines, true});
        operatorLast_ = false;
        return *this;
    }

    // Each disc described so far in a drive of its own, from `first` on.
    BaySpec& InReaders(char first = 'D', const std::string& model = "dvd-rom-reader") {
        for (const std::string& disc : discs_)
            Drive(first++, model, disc);
        return *this;
    }

    // A further line for the section described last: a disc's or a drive's
    // fault, a drive's becoming-ready time, an operator's step.
    BaySpec& With(const std::string& line) {
        if (operatorLast_)
            operator_ += line + "\n";
        else
            sections_.back().lines += line + "\n";
        return *this;
    }

    // A fault of the drive in `letter`, described already: "write-error 70 15".
    BaySpec& Fault(char letter, const std::string& fault) {
        const std::string header = std::string("[drive ") + letter + "]";
        for (Section& s : sections_) {
            if (s.header == header)
                s.lines += "fault = " + fault + "\n";
        }
        return *this;
    }

    // The operator puts blanks of `type` into the recorder whenever its tray
    // opens, 50 ms later unless a `blank-delay` step says otherwise.
    BaySpec& Blanks(char letter, const std::string& type) {
        return Operator(std::string("blank = ") + letter + " " + type);
    }
    // The operator takes out every disc a recorder finished.
    BaySpec& TakeFinished() { return Operator("take-finished = yes"); }
    BaySpec& Operator(const std::string& line) {
        operatorLast_ = true;
        operator_ += line + "\n";
        return *this;
    }

    std::string Text() const {
        std::string text;
        if (top_.find("timing =") == std::string::npos)
            text += "timing = instant\n";
        text += top_;
        for (const Section& s : sections_) {
            text += s.header + "\n" + s.lines;
            if (s.drive && s.lines.find("becoming-ready =") == std::string::npos)
                text += "becoming-ready = 0\n";
        }
        if (!operator_.empty()) {
            text += "[operator]\n" + operator_;
            if (operator_.find("blank = ") != std::string::npos &&
                operator_.find("blank-delay =") == std::string::npos)
                text += "blank-delay = 50\n";
        }
        return text;
    }

    // Writes the discs' images into `folder`, where the description's
    // relative paths lead.
    void WriteImages(const fs::path& folder) const {
        for (const Image& image : images_) {
            if (image.tracks.empty())
                WriteFile(folder / image.file, image.bytes);
            else
                WriteCueBin(folder, image.file, image.tracks);
        }
    }
    // The images and the description in `folder`; the description's path.
    fs::path WriteTo(const fs::path& folder) const {
        WriteImages(folder);
        const fs::path path = folder / "bay.txt";
        std::ofstream(path, std::ios::trunc) << Text();
        return path;
    }

  private:
    struct Section {
        std::string header;
        std::string lines;
        bool drive;
    };
    struct Image {
        std::string file;  // for a cue sheet, its name without extension
        std::vector<uint8_t> bytes;
        std::vector<SourceTrack> tracks;
    };
    std::string top_;
    std::vector<Section> sections_;
    std::vector<std::string> discs_;
    std::string operator_;
    bool operatorLast_ = false;
    std::vector<Image> images_;
};

}  // namespace vestrel::sim::testing
