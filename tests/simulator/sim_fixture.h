// Shared pieces of the simulator tests: a throwaway folder, source images
// with known contents, a bay built from a description, and the system's
// own command sequences for reading a disc back and recording a copy.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
#include "tests/support/test_bay.h"

namespace vestrel::sim::testing {

// A bay installed for the test: described, with its images written into
// `base`, or from a description's text with instant timing put first.
class Bay {
  public:
    explicit Bay(const BaySpec& spec, const fs::path& base = {}) {
        spec.WriteImages(base);
        Load(spec.Text(), base);
    }
    explicit Bay(const std::string& description, const fs::path& base = {}) {
        Load("timing = instant\n" + description, base);
    }
    Simulator simulator;
    bool loaded = false;

  private:
    void Load(const std::string& text, const fs::path& base) {
        std::string error;
        loaded = simulator.LoadText(text, base, error);
        EXPECT_TRUE(loaded) << error;
        simulator.Install();
    }
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
