// Whole copy runs on simulated drives, in the order the wizard makes them:
// drives found and planned, sources read at once into image files, every
// recorder writing at once, image files deleted. Every finished copy is then
// read back in another drive and compared with its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "drive/file_system.h"
#include "drive/mmc_commands.h"
#include "drive/text.h"
#include "tests/copy/copy_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;
using testing::BlankShelf;
using testing::RunWholeCopy;
using testing::WholeRun;

// A data image of `blocks` blocks, labelled, with patterned stretches at
// the given blocks and a hole everywhere else, so that an image the size of
// a whole disc costs little room.
void WriteSparseImage(const fs::path& path, uint32_t blocks, const std::string& label,
                      const std::vector<uint32_t>& stretchStarts, uint32_t seed) {
    constexpr uint32_t kStretch = 64;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::vector<uint8_t> head = LabelledData(32, label, seed);
        out.write(reinterpret_cast<const char*>(head.data()),
                  static_cast<std::streamsize>(head.size()));
        for (uint32_t start : stretchStarts) {
            std::vector<uint8_t> bytes = PatternBytes(size_t{kStretch} * 2048, seed + start);
            out.seekp(static_cast<std::streamoff>(start) * 2048);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(std::min(kStretch, blocks - start)) * 2048);
        }
    }
    fs::resize_file(path, uint64_t{blocks} * 2048);
}

// Reads the one data track of the disc in `reader`, at most `limitBlocks`
// of it, and compares it with `image` chunk by chunk: the image's blocks
// first, then zeros (the rest of a reservation) up to the track's end.
// `trackBlocks` receives the track's length. Where `dataRuns` ([first,
// end) blocks) are given, the image holds zeros everywhere else and only
// they are read from it.
::testing::AssertionResult TrackMatchesImage(
    char16_t reader, const fs::path& image, uint32_t limitBlocks, uint32_t& trackBlocks,
    const std::vector<std::pair<uint32_t, uint32_t>>& dataRuns = {}) {
    Toc toc = ReadToc(reader);
    if (toc.entries.size() != 2 || !(toc.entries[0].control & 0x4))
        return ::testing::AssertionFailure() << "not one data track";
    trackBlocks = toc.entries[1].address - toc.entries[0].address;
    const uint32_t end = toc.entries[0].address + std::min(trackBlocks, limitBlocks);
    std::ifstream in(image, std::ios::binary);
    const uint64_t imageBytes = fs::file_size(image);
    if (uint64_t{end - toc.entries[0].address} * 2048 < imageBytes)
        return ::testing::AssertionFailure() << "the track holds " << trackBlocks << " blocks";
    constexpr uint32_t kChunk = 512;
    std::vector<uint8_t> copy(kChunk * 2048), expected(kChunk * 2048);
    for (uint32_t lba = toc.entries[0].address; lba < end; lba += kChunk) {
        const uint32_t n = std::min(kChunk, end - lba);
        ScsiResult r = SendRead10(reader, lba, static_cast<uint16_t>(n), copy);
        if (!r.ok())
            return ::testing::AssertionFailure() << "READ (10) at " << lba << " failed";
        std::fill(expected.begin(), expected.end(), 0);
        const uint32_t at = lba - toc.entries[0].address;
        if (dataRuns.empty() || std::any_of(dataRuns.begin(), dataRuns.end(), [&](auto& r) {
                return r.first < at + n && at < r.second;
            })) {
            in.seekg(std::streamoff{at} * 2048);
            in.read(reinterpret_cast<char*>(expected.data()), std::streamsize{n} * 2048);
            in.clear();
        }
        if (!std::equal(copy.begin(), copy.begin() + n * 2048, expected.begin()))
            return ::testing::AssertionFailure()
                   << "differs in blocks " << lba << " to " << lba + n;
    }
    return ::testing::AssertionSuccess();
}

// The destinations of the source in `letter`, as "F1 G1".
std::string DestinationsOf(const WholeRun& run, char16_t letter) {
    std::string text;
    for (const SourceRecord& s : run.sources) {
        if (s.driveLetter != letter)
            continue;
        for (const DestinationEntry& d : s.destinations) {
            text += text.empty() ? "" : " ";
            text += static_cast<char>(d.recorderLetter) + std::to_string(d.copies);
        }
    }
    return text;
}

// Every reader and writer finished, the writing page's outcome is 1, and of
// the image files planned in the bay's home folder none is left, nor the
// folder itself.
void ExpectCopiedWholly(sim::Simulator& bay, WholeRun& run) {
    const fs::path home = fs::path(bay.AppDataFolder()) / "t4k" / "Temp";
    for (auto& reader : run.readers) {
        EXPECT_EQ(reader->State().status, u"Finished sucessfully.");
        EXPECT_EQ(reader->GetRunState(), RunState::Finished);
        EXPECT_EQ(reader->Progress(), 1000u);
    }
    ASSERT_TRUE(run.reading.allFinished);
    for (auto& writer : run.writers) {
        SCOPED_TRACE(ToUtf8(std::u16string(1, writer->State().driveLetter)));
        EXPECT_EQ(writer->State().status, u"Finished sucessfully.");
        EXPECT_EQ(writer->GetRunState(), RunState::Finished);
        EXPECT_FALSE(testing::EverShown(*writer, u"The disc is not of a compatible type."));
        EXPECT_EQ(writer->Progress(), 1000u);
    }
    EXPECT_TRUE(run.writing.deleteImageFiles);
    EXPECT_EQ(run.writing.copyOutcome, 1);
    for (const SourceRecord& s : run.sources) {
        for (const TrackRecord& t : s.tracks) {
            ASSERT_FALSE(t.imagePath.empty());
            fs::path path(t.imagePath);
            EXPECT_EQ(path.parent_path(), home);
            EXPECT_FALSE(fs::exists(path)) << path;
            EXPECT_FALSE(fs::exists(path.parent_path())) << path.parent_path();
        }
    }
}

// The tracks' kinds, as "DAA".
std::string Kinds(const std::vector<SourceTrack>& tracks) {
    std::string kinds;
    for (const SourceTrack& t : tracks)
        kinds += t.data ? 'D' : 'A';
    return kinds;
}

// Reads every finished copy back in D: and compares it, track by track,
// with the source whose tracks are of the same kinds; how many copies of
// which kinds each recorder made, as "DAA by F".
std::map<std::string, int> CopiesReadBack(sim::Simulator& bay,
                                          std::vector<const std::vector<SourceTrack>*> sources) {
    std::map<std::string, int> made;
    for (sim::FinishedCopy& copy : bay.TakeFinishedCopies()) {
        const char16_t recorder = copy.recorder;
        EXPECT_TRUE(bay.LoadDisc(u'D', std::move(copy.disc)));
        std::vector<SourceTrack> back = ReadBack(u'D');
        auto source = std::find_if(sources.begin(), sources.end(),
                                   [&](auto* s) { return Kinds(*s) == Kinds(back); });
        if (source == sources.end()) {
            ADD_FAILURE() << "a copy of no source: " << Kinds(back);
            continue;
        }
        for (size_t t = 0; t < back.size(); ++t)
            EXPECT_TRUE(back[t].bytes == (**source)[t].bytes) << Kinds(back) << " track " << t + 1;
        ++made[Kinds(back) + " by " + static_cast<char>(recorder)];
    }
    return made;
}

TEST(EndToEnd, DataAudioAndMixedCdsTwoCopiesEachOnTwoRecordersOneAlsoHoldingASource) {
    TempFolder folder;
    const std::vector<SourceTrack> data = {{true, LabelledData(300, "VESTREL_DATA", 1)}};
    const std::vector<SourceTrack> audio = PatternTracks({-40, -31, -75}, 2);
    const std::vector<SourceTrack> mixed = {{true, LabelledData(120, "MIXED_MODE", 5)},
                                            {false, PatternBytes(50 * 2352, 6)},
                                            {false, PatternBytes(26 * 2352, 7)}};
    Bay bay(BaySpec()
                .Iso("data", "CD-ROM", data[0].bytes)
                .Cue("audio", audio)
                .Cue("mixed", mixed)
                .Drive('D', "dvd-rom-reader", "data")
                .Drive('E', "cd-rom-reader", "audio")
                .Drive('F', "cd-rw-recorder", "mixed")
                .Drive('G', "cd-rw-recorder")
                .TakeFinished(),
            folder.path());
    ASSERT_TRUE(bay.loaded);

    WholeRun run = RunWholeCopy(bay.simulator, {{u'D', 2}, {u'E', 2}, {u'F', 2}},
                                {{u'F', {"CD-R"}}, {u'G', {"CD-R"}}});
    // Equal recorders share every source's copies, the later one first.
    EXPECT_EQ(DestinationsOf(run, u'D'), "G1 F1");
    EXPECT_EQ(DestinationsOf(run, u'E'), "G1 F1");
    EXPECT_EQ(DestinationsOf(run, u'F'), "G1 F1");
    ExpectCopiedWholly(bay.simulator, run);
    ASSERT_EQ(run.writers.size(), 2u);
    for (char16_t letter : {u'F', u'G'}) {
        ASSERT_NE(run.Writer(letter), nullptr);
        MemoryPanel& writer = *run.Writer(letter);
        EXPECT_EQ(writer.State().caption, u" - Source: 3/3, Label: MIXED_MODE, Copy: 1/1");
        std::vector<std::u16string> captions;
        for (const MemoryPanel::Update& u : writer.Updates()) {
            if (!u.caption.empty() && (captions.empty() || captions.back() != u.caption))
                captions.push_back(u.caption);
        }
        EXPECT_EQ(captions,
                  (std::vector<std::u16string>{u" - Source: 1/3, Label: VESTREL_DATA, Copy: 1/1",
                                               u" - Source: 2/3, Label: Audio CD, Copy: 1/1",
                                               u" - Source: 3/3, Label: MIXED_MODE, Copy: 1/1"}));
        EXPECT_TRUE(testing::EverShown(writer, u"Writing the Lead-in and the Pre-Gap..."));
        EXPECT_TRUE(testing::EverShown(writer, u"Writing track 3 of 3..."));
        EXPECT_TRUE(testing::EverShown(writer, u"Writing to this copy is done."));
    }
    EXPECT_EQ(CopiesReadBack(bay.simulator, {&data, &audio, &mixed}),
              (std::map<std::string, int>{{"D by F", 1},
                                          {"D by G", 1},
                                          {"AAA by F", 1},
                                          {"AAA by G", 1},
                                          {"DAA by F", 1},
                                          {"DAA by G", 1}}));
}

TEST(EndToEnd, DvdDualLayerDvdAndBdOnDvdAndBdRecordersReadBackClosedInOtherDrives) {
    // The dual-layer source is a finished DVD+R DL: a pressed dual-layer
    // disc reports the DVD-ROM profile, whose copies go to single-layer
    // blanks only. Nothing the system reads tells layers apart, so a small
    // image serves; its patterned stretches lie apart within holes.
    constexpr uint32_t kDualBlocks = 3000;
    TempFolder folder;
    WriteSparseImage(folder / "dual.iso", kDualBlocks, "DUAL_LAYER", {1000, 2000, kDualBlocks - 40},
                     12);
    Bay bay(BaySpec()
                .Iso("dvd", "DVD-ROM", LabelledData(1000, "FILM", 11))
                .IsoFile("dual", "DVD+R DL", "dual.iso")
                .Iso("bd", "BD-ROM", LabelledData(1000, "BLU_RAY", 13))
                .Drive('D', "dvd-rom-reader", "dvd")
                .Drive('E', "dvd-rom-reader", "dual")
                .Drive('F', "dvd-rw-dl-recorder")
                .Drive('G', "bd-re-recorder", "bd")
                .Drive('H', "bd-re-recorder")
                .TakeFinished(),
            folder.path());
    ASSERT_TRUE(bay.loaded);

    WholeRun run = RunWholeCopy(
        bay.simulator, {{u'D', 2}, {u'G', 2}},
        {{u'F', {"DVD+R DL"}}, {u'G', {"DVD+R", "BD-R"}}, {u'H', {"DVD-R", "BD-RE"}}}, 300);
    // The BD source has the fewest candidates and goes first; the
    // dual-layer source then goes to the recorder left without a copy.
    EXPECT_EQ(DestinationsOf(run, u'G'), "H1 G1");
    EXPECT_EQ(DestinationsOf(run, u'E'), "F1");
    EXPECT_EQ(DestinationsOf(run, u'D'), "H1 G1");
    ExpectCopiedWholly(bay.simulator, run);
    ASSERT_EQ(run.writers.size(), 3u);
    ASSERT_NE(run.Writer(u'F'), nullptr);
    ASSERT_NE(run.Writer(u'H'), nullptr);
    EXPECT_EQ(run.Writer(u'F')->State().caption, u" - Source: 1/1, Label: DUAL_LAYER, Copy: 1/1");
    EXPECT_EQ(run.Writer(u'H')->State().caption, u" - Source: 2/2, Label: BLU_RAY, Copy: 1/1");

    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 5u);
    std::map<std::string, uint32_t> made;  // blank and recorder: the copy's track length
    for (sim::FinishedCopy& copy : copies) {
        const uint16_t profile = copy.disc->profile();
        const std::string blank = sim::ProfileName(profile);
        const bool bd = ProfileToDiscType(profile) & disc::BdTypes;
        // An overwritable copy is one track over the whole disc: its start will do.
        const uint32_t limit = copy.disc->rules().takesFormat() ? 1024 : UINT32_MAX;
        SCOPED_TRACE(blank);
        if (copy.disc->rules().needsClosing) {
            EXPECT_TRUE(copy.disc->closed);
            EXPECT_EQ(static_cast<int>(copy.disc->status()),
                      static_cast<int>(sim::DiscStatus::Complete));
        }
        // Read elsewhere than in its recorder: a copy left open would not be.
        const char16_t reader = !bd ? u'D' : copy.recorder == u'G' ? u'H' : u'G';
        ASSERT_TRUE(bay.simulator.LoadDisc(reader, std::move(copy.disc)));
        const fs::path image =
            folder / (bd                                             ? "bd.iso"
                      : profile == *sim::ProfileFromName("DVD+R DL") ? "dual.iso"
                                                                     : "dvd.iso");
        uint32_t trackBlocks = 0;
        EXPECT_TRUE(TrackMatchesImage(reader, image, limit, trackBlocks));
        made[blank + " by " + static_cast<char>(copy.recorder)] = trackBlocks;
    }
    // Reservations are whole ECC blocks (16) or BD clusters (32); the
    // overwritable BD-RE holds one track over the whole disc.
    EXPECT_EQ(made, (std::map<std::string, uint32_t>{{"DVD-R by H", 1008},
                                                     {"BD-RE by H", 11826176},
                                                     {"DVD+R by G", 1008},
                                                     {"BD-R by G", 1024},
                                                     {"DVD+R DL by F", 3008}}));
}

// The platform's files, except that runs of zeros written to a new file
// become holes that are read back as zeros without reading the file: a
// dual-layer source's image files cost what its data costs.
class SparseFiles : public testing::ForwardingFileSystem {
  public:
    std::unique_ptr<File> CreateNew(std::u16string_view p, uint32_t& e) override {
        std::unique_ptr<File> file = next_.CreateNew(p, e);
        if (!file)
            return nullptr;
        std::lock_guard lock(mutex_);
        auto& extents = data_[std::u16string(p)] = std::make_shared<Extents>();
        return std::make_unique<Writing>(std::move(file), extents);
    }
    std::unique_ptr<File> OpenRead(std::u16string_view p, uint32_t& e) override {
        std::unique_ptr<File> file = next_.OpenRead(p, e);
        std::lock_guard lock(mutex_);
        auto it = data_.find(std::u16string(p));
        if (!file || it == data_.end())
            return file;
        return std::make_unique<Reading>(std::move(file), it->second);
    }

  private:
    // Where a file holds data: [first, second) byte ranges, in order.
    using Extents = std::vector<std::pair<uint64_t, uint64_t>>;

    class Writing : public File {
      public:
        Writing(std::unique_ptr<File> file, std::shared_ptr<Extents> extents)
            : file_(std::move(file)), extents_(std::move(extents)) {}
        // The last byte of a trailing hole is written, so the file has its length.
        ~Writing() override {
            uint32_t error = 0;
            const uint8_t zero = 0;
            if (end_ > dataEnd_ && file_->Seek(end_ - 1))
                file_->Write(&zero, 1, error);
        }
        bool Write(const uint8_t* data, size_t size, uint32_t& error) override {
            if (std::all_of(data, data + size, [](uint8_t b) { return b == 0; })) {
                at_ += size;
                end_ = std::max(end_, at_);
                return true;
            }
            if (at_ != position_ && !file_->Seek(at_))
                return false;
            extents_->push_back({at_, at_ + size});
            at_ += size;
            position_ = at_;
            end_ = std::max(end_, at_);
            dataEnd_ = std::max(dataEnd_, at_);
            return file_->Write(data, size, error);
        }
        size_t Read(uint8_t*, size_t, uint32_t&) override { return 0; }
        bool Seek(uint64_t offset) override {
            at_ = position_ = offset;
            return file_->Seek(offset);
        }
        bool Size(uint64_t& size) override { return file_->Size(size); }

      private:
        std::unique_ptr<File> file_;
        std::shared_ptr<Extents> extents_;
        uint64_t at_ = 0;        // where the next write goes
        uint64_t position_ = 0;  // the file's own position
        uint64_t end_ = 0;       // the length the file is to have
        uint64_t dataEnd_ = 0;   // the end of what was really written
    };

    class Reading : public File {
      public:
        Reading(std::unique_ptr<File> file, std::shared_ptr<const Extents> extents)
            : file_(std::move(file)), extents_(std::move(extents)) {
            file_->Size(size_);
        }
        bool Write(const uint8_t*, size_t, uint32_t&) override { return false; }
        size_t Read(uint8_t* data, size_t size, uint32_t& error) override {
            size = static_cast<size_t>(std::min<uint64_t>(size, size_ - std::min(at_, size_)));
            const bool hole = std::none_of(extents_->begin(), extents_->end(), [&](auto& e) {
                return e.first < at_ + size && at_ < e.second;
            });
            if (hole) {
                std::fill_n(data, size, 0);
            } else {
                if (!file_->Seek(at_))
                    return 0;
                size = file_->Read(data, size, error);
            }
            at_ += size;
            return size;
        }
        bool Seek(uint64_t offset) override {
            at_ = offset;
            return true;
        }
        bool Size(uint64_t& size) override {
            size = size_;
            return true;
        }

      private:
        std::unique_ptr<File> file_;
        std::shared_ptr<const Extents> extents_;
        uint64_t size_ = 0;
        uint64_t at_ = 0;
    };

    std::mutex mutex_;
    std::map<std::u16string, std::shared_ptr<Extents>> data_;
};

TEST(EndToEnd, APressedDvd9IsCopiedOntoADvdPlusRDlAndReadsBackEqual) {
    // A pressed dual-layer DVD reports the DVD-ROM profile as a single-layer
    // one does; its size, past what one layer holds, sends it to a
    // dual-layer blank. Patterned around the layer's end, holes elsewhere.
    constexpr uint32_t kBlocks = kDvdLayerBlocks + 1000;
    TempFolder folder;
    WriteSparseImage(folder / "dvd9.iso", kBlocks, "DVD_9",
                     {1000, kDvdLayerBlocks - 32, kBlocks - 40}, 31);
    BaySpec spec = BaySpec().IsoFile("dvd9", "DVD-ROM", "dvd9.iso").InReaders();
    Bay bay(spec.Drive('F', "dvd-rw-dl-recorder").TakeFinished(), folder.path());
    ASSERT_TRUE(bay.loaded);

    WholeRun run;
    {
        SparseFiles files;
        run = RunWholeCopy(bay.simulator, {}, {{u'F', {"DVD+R", "DVD+R DL"}}}, 600);
    }
    ASSERT_EQ(run.sources.size(), 1u);
    EXPECT_EQ(run.sources[0].discBlocks, kBlocks);
    EXPECT_EQ(DestinationsOf(run, u'D'), "F1");
    ExpectCopiedWholly(bay.simulator, run);

    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(sim::ProfileName(copies[0].disc->profile()), "DVD+R DL");
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[0].disc)));
    uint32_t trackBlocks = 0;
    EXPECT_TRUE(TrackMatchesImage(u'D', folder / "dvd9.iso", UINT32_MAX, trackBlocks,
                                  {{0, 32},
                                   {1000, 1064},
                                   {kDvdLayerBlocks - 32, kDvdLayerBlocks + 32},
                                   {kBlocks - 40, kBlocks}}));
    EXPECT_EQ(trackBlocks, (kBlocks + 15) / 16 * 16);
}

// The writer's blank check follows the source's size as planned: a small
// DVD-ROM refuses a DVD+R DL, one past a layer refuses a DVD+R and takes a
// DVD+R DL. The image is small; only the size the drive reported counts.
class DualLayerBlanks : public testing::CopyTest {};

TEST_F(DualLayerBlanks, TheBlankCheckFollowsTheSourcesSize) {
    const std::vector<uint8_t> bytes = LabelledData(40, "FILM", 41);
    struct Case {
        uint64_t blocks;
        const char* blank;
        bool taken;
    };
    for (const Case& c : {Case{40, "DVD+R DL", false}, Case{kDvdLayerBlocks + 1, "DVD+R", false},
                          Case{kDvdLayerBlocks + 1, "DVD+R DL", true}}) {
        SCOPED_TRACE(std::to_string(c.blocks) + " on " + c.blank);
        Bay bay(testing::WriterBay(BaySpec().Iso("dvd", "DVD-ROM", bytes), c.blank).TakeFinished(),
                folder_.path());
        ReadSources({{u'D', disc::DvdRom, {{u'F', 1}}}});
        {
            DriveLockGuard lock;
            SourceTable()[0].discBlocks = c.blocks;
        }
        MemoryPanel panel(u'F');
        panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
            if (u.status == u"The disc is not of a compatible type.")
                p.Click(panel_link::SkipSource, true);
        });
        Run(WriterThread, u'F', panel);
        EXPECT_EQ(testing::EverShown(panel, u"The disc is not of a compatible type."), !c.taken);
        std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
        ASSERT_EQ(copies.size(), c.taken ? 1u : 0u);
        if (!c.taken)
            continue;
        EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
        ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[0].disc)));
        std::vector<SourceTrack> back = ReadBack(u'D', 40);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].bytes, bytes);
    }
}

TEST(EndToEnd, EightRecordersWriteAtOnceFromTwoSources) {
    TempFolder folder;
    const std::vector<SourceTrack> data = {{true, LabelledData(200, "LOAD", 21)}};
    const std::vector<SourceTrack> audio = PatternTracks({-60, -45}, 22);
    BaySpec spec = BaySpec()
                       .Iso("data", "CD-ROM", data[0].bytes)
                       .Cue("audio", audio)
                       .Drive('D', "dvd-rom-reader", "data")
                       .Drive('E', "cd-rom-reader", "audio")
                       .TakeFinished();
    const std::string recorders = "FGHIJKLM";
    const char* models[] = {"cd-rw-recorder", "dvd-rw-dl-recorder", "bd-re-recorder"};
    BlankShelf shelf;
    for (size_t i = 0; i < recorders.size(); ++i) {
        spec.Drive(recorders[i], models[i % 3]);
        shelf[recorders[i]] = {i % 2 ? "CD-RW" : "CD-R"};
    }
    Bay bay(spec, folder.path());
    ASSERT_TRUE(bay.loaded);

    WholeRun run = RunWholeCopy(bay.simulator, {{u'D', 8}, {u'E', 8}}, shelf);
    ASSERT_EQ(run.writers.size(), 8u);
    for (const SourceRecord& s : run.sources) {
        ASSERT_EQ(s.destinations.size(), 8u);
        for (const DestinationEntry& d : s.destinations)
            EXPECT_EQ(d.copies, 1u);
    }
    ExpectCopiedWholly(bay.simulator, run);
    for (auto& writer : run.writers)
        EXPECT_EQ(writer->State().caption, u" - Source: 2/2, Label: Audio CD, Copy: 1/1");

    // Each recorder made one copy of each source.
    std::map<std::string, int> expected;
    for (char letter : recorders) {
        expected[std::string("D by ") + letter] = 1;
        expected[std::string("AA by ") + letter] = 1;
    }
    EXPECT_EQ(CopiesReadBack(bay.simulator, {&data, &audio}), expected);
}

}  // namespace
}  // namespace vestrel
