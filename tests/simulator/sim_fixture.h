// Shared pieces of the simulator tests: a throwaway folder, source images
// with known contents, a bay built from a description, and the system's
// own command sequences for reading a disc back and recording a copy.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "drive/cdb.h"
#include "drive/disc_types.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "engine/cue_sheet.h"
#include "engine/write_parameters.h"
#include "engine/write_speed.h"
#include "simulator/simulator.h"

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

// A track of a source disc: its kind and its bytes (2048 or 2352 a block).
struct SourceTrack {
    bool data = true;
    std::vector<uint8_t> bytes;
    uint32_t blocks() const {
        return static_cast<uint32_t>(bytes.size() / (data ? kDataSectorSize : kAudioSectorSize));
    }
};

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

// A bay from a description, with no transfer time and no becoming-ready
// delay unless the description says otherwise, installed for the test.
class Bay {
  public:
    explicit Bay(const std::string& description, const fs::path& base = {}) {
        std::string error;
        loaded = simulator.LoadText("timing = instant\n" + description, base, error);
        EXPECT_TRUE(loaded) << error;
        simulator.Install();
    }
    Simulator simulator;
    bool loaded = false;
};

// The table of contents as the source reader takes it (LBA form).
inline Toc ReadToc(char16_t letter) {
    std::vector<uint8_t> reply(kTocLength);
    EXPECT_TRUE(SendReadToc(letter, false, reply).ok());
    return ReadTocReply(ByteReader(reply.data(), reply.size()));
}

// Every track of the disc in `letter`, read as the source reader reads it:
// READ (10) for data and READ CD (F8h) for audio, at most 25 blocks a time.
inline std::vector<SourceTrack> ReadBack(char16_t letter, uint32_t limitBlocks = UINT32_MAX) {
    std::vector<SourceTrack> out;
    Toc toc = ReadToc(letter);
    for (size_t i = 0; i + 1 < toc.entries.size(); ++i) {
        SourceTrack t;
        t.data = toc.entries[i].control & 0x4;
        uint32_t first = toc.entries[i].address;
        uint32_t end = static_cast<uint32_t>(
            std::min<uint64_t>(toc.entries[i + 1].address, uint64_t{first} + limitBlocks));
        uint32_t size = t.data ? kDataSectorSize : kAudioSectorSize;
        std::vector<uint8_t> buffer(25 * size);
        for (uint32_t lba = first; lba < end; lba += 25) {
            uint32_t n = std::min<uint32_t>(25, end - lba);
            ScsiResult r = t.data ? SendRead10(letter, lba, static_cast<uint16_t>(n), buffer)
                                  : SendReadCd(letter, lba, n, buffer);
            EXPECT_TRUE(r.ok()) << "LBA " << lba << " sense " << int(r.senseKey) << "/"
                                << int(r.asc) << "/" << int(r.ascq);
            if (!r.ok())
                return out;
            t.bytes.insert(t.bytes.end(), buffer.begin(), buffer.begin() + n * size);
        }
        out.push_back(std::move(t));
    }
    return out;
}

inline ScsiResult Close(char16_t letter, uint8_t function) {
    return SendCommandBlock(letter, CloseTrackSessionCdb(function, 0), {});
}

// Records a copy with the system's recipe: write speed, write parameters,
// then the cue sheet and the pre-gap from LBA -150 (CD blanks) or one
// RESERVE TRACK per track (other blanks), the tracks in chunks of 25
// blocks, SYNCHRONIZE CACHE.
inline void RecordCopy(char16_t letter, const std::vector<SourceTrack>& tracks, DiscType blank) {
    ASSERT_TRUE(SelectWriteSpeed(letter, blank));
    ASSERT_TRUE(SetWriteParameters(letter, blank));
    std::vector<WriterTrack> writer;
    int32_t start = 0;
    for (const SourceTrack& t : tracks) {
        WriterTrack w;
        w.isData = t.data;
        w.dataBytes = t.bytes.size();
        w.blockCount = t.blocks();
        w.startLba = start;
        start += static_cast<int32_t>(w.blockCount);
        writer.push_back(w);
    }
    bool cd = blank & 0x6;
    if (cd) {
        CueSheet sheet = BuildCueSheet(writer);
        ScsiResult r = SendCueSheet(letter, sheet);
        ASSERT_TRUE(r.ok()) << int(r.senseKey) << "/" << int(r.asc) << "/" << int(r.ascq);
        uint32_t size = tracks.front().data ? kDataSectorSize : kAudioSectorSize;
        std::vector<uint8_t> zeros(10 * size, 0);
        for (int32_t lba = -150; lba < 0; lba += 10)
            ASSERT_TRUE(SendWrite10(letter, lba, 10, zeros).ok()) << lba;
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (!cd) {
            ScsiResult r = SendReserveTrack(letter, writer[i].blockCount);
            ASSERT_TRUE(r.ok()) << int(r.senseKey) << "/" << int(r.asc) << "/" << int(r.ascq);
        }
        uint32_t size = tracks[i].data ? kDataSectorSize : kAudioSectorSize;
        for (uint32_t done = 0; done < writer[i].blockCount; done += 25) {
            uint32_t n = std::min<uint32_t>(25, writer[i].blockCount - done);
            std::span<const uint8_t> chunk(tracks[i].bytes.data() + size_t{done} * size,
                                           size_t{n} * size);
            ScsiResult r = SendWrite10(letter, writer[i].startLba + static_cast<int32_t>(done),
                                       static_cast<uint16_t>(n), chunk);
            ASSERT_TRUE(r.ok()) << "block " << done << " sense " << int(r.senseKey) << "/"
                                << int(r.asc) << "/" << int(r.ascq);
        }
    }
    ASSERT_TRUE(SendSynchronizeCache(letter).ok());
}

inline ::testing::AssertionResult Sensed(const ScsiResult& r, uint8_t key, uint8_t asc,
                                         uint8_t ascq) {
    if (r.status == StatusCheckCondition && r.senseKey == key && r.asc == asc && r.ascq == ascq)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "status " << r.status << " sense " << std::hex << int(r.senseKey) << "/" << int(r.asc)
           << "/" << int(r.ascq);
}

}  // namespace vestrel::sim::testing
