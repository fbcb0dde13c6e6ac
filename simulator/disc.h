// A disc as the simulator holds it: its profile, its recording state, its
// tracks and the file that holds its sectors. Pressed discs read straight
// from their image files; blank and used discs keep what recorders write
// in a work file written in place (sparse where nothing was written), so a
// disc never sits in memory whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drive/cd_text.h"
#include "simulator/fault.h"
#include "simulator/media.h"

namespace vestrel::sim {

enum class DiscStatus : uint8_t { Empty = 0, Incomplete = 1, Complete = 2 };

struct DiscTrack {
    uint8_t number = 1;
    bool audio = false;
    int32_t start = 0;    // LBA of index 1
    uint32_t length = 0;  // blocks up to the next track or the lead-out
};

// Where a run of sectors lives in the disc's file.
struct SectorRegion {
    int32_t firstLba = 0;
    uint32_t count = 0;
    uint64_t fileOffset = 0;
    uint32_t stride = 2048;  // 2048: user data only; 2352: whole raw sectors
    bool audio = false;
    bool silent = false;  // not in the file: the sectors read as zeros
};

// The CONTROL bits of a track, as its Q sub-channel and the TOC carry
// them (the TOC in the low nibble of its ADR/CONTROL byte).
constexpr uint8_t kControlPreEmphasis = 0x1;  // audio with 50/15 us pre-emphasis
constexpr uint8_t kControlCopyPermitted = 0x2;
constexpr uint8_t kControlData = 0x4;
constexpr uint8_t kControlFourChannel = 0x8;  // four-channel audio

// CD-Text a cue sheet gives the disc or a track; empty: none.
struct CdTexts {
    std::string title;
    std::string performer;
    std::string songwriter;
    bool operator==(const CdTexts&) const = default;
};

// What an audio CD carries besides its sectors and TOC, per track: its
// CONTROL bits, ISRC, where each index begins and its texts.
struct TrackMetadata {
    uint8_t number = 1;
    uint8_t control = 0;  // kControl... bits
    bool scms = false;    // the copy permission is used up (SCMS 80h)
    std::string isrc;     // 12 characters; empty: none
    // The LBA where index 0, 1, 2... begin. Index 0 begins where index 1
    // does when the track has no pre-gap; track 1's index 0 begins at
    // LBA -150, so audio before its index 1 is hidden track-one audio.
    std::vector<int32_t> indexes;
    CdTexts text;
    int32_t PreGapStart() const { return indexes.empty() ? 0 : indexes.front(); }
    int32_t Start() const { return indexes.size() > 1 ? indexes[1] : PreGapStart(); }
    bool operator==(const TrackMetadata&) const = default;
};
struct DiscMetadata {
    std::string mcn;  // the catalogue number, 13 digits; empty: none
    CdTexts text;
    std::string cdTextFile;  // the CDTEXTFILE name as the cue sheet gives it
    std::vector<TrackMetadata> tracks;
    // The CD-Text packs a recorder kept from the lead-in, as READ TOC
    // format 0101b gives them back; empty: the packs are built from the
    // texts above (pressed discs).
    std::vector<CdTextPack> cdTextPacks;
    const TrackMetadata* Track(uint8_t number) const;
    bool operator==(const DiscMetadata&) const = default;
};

// A catalogue number: 13 digits. An ISRC: 5 upper-case letters or digits
// (country and owner), then 7 digits (year and designation).
bool IsValidMcn(std::string_view text);
bool IsValidIsrc(std::string_view text);

enum class SectorRead { Ok, OutOfRange, IllegalMode, NotRecorded, FileError };

// A pressed CD's cue sheet as its text gives it: the one BINARY file and the
// tracks in order, with their INDEX 00 and INDEX 01 times in frames (-1
// where the sheet gives none), further indexes, PREGAP silence, FLAGS,
// ISRC, CATALOG and texts.
struct ParsedCueTrack {
    int number = 0;
    bool audio = false;
    uint32_t stride = 2352;  // bytes a sector takes in the BINARY file
    int32_t pregap = 0;      // frames of silence before the file's sectors
    int32_t index0 = -1;
    int32_t index1 = -1;
    std::vector<int32_t> laterIndexes;  // INDEX 02, 03...
    uint8_t control = 0;                // FLAGS as kControl... bits (and data)
    bool scms = false;
    std::string isrc;
    CdTexts text;
};
struct ParsedCue {
    std::string binary;  // the FILE name as written
    std::string catalog;
    std::string cdTextFile;
    CdTexts text;
    std::vector<ParsedCueTrack> tracks;
};
// Reads a cue sheet's text (tracks AUDIO, MODE1/2352 or MODE1/2048; no
// POSTGAP or second FILE). On failure `error` is "LINE: why".
bool ParseCueSheet(std::string_view text, ParsedCue& sheet, std::string& error);

// The disc a cue sheet describes when its BINARY file holds `binBytes`:
// the tracks, where their sectors lie in the file, and the lead-out.
struct CueLayout {
    std::vector<DiscTrack> tracks;
    std::vector<SectorRegion> regions;
    int32_t leadOut = 0;
    DiscMetadata metadata;
};
constexpr int32_t kMaxCueFrames = 100 * 60 * 75;  // a CD ends before 100:00:00
bool LayOutCueSheet(const ParsedCue& sheet, uint64_t binBytes, CueLayout& layout,
                    std::string& error);

class Disc {
  public:
    // A pressed data disc (one Mode 1 track) from an ISO image.
    static std::unique_ptr<Disc> FromIso(const std::filesystem::path& iso, uint16_t profile,
                                         std::string& error);
    // A pressed CD from a cue sheet file and its one BINARY file (tracks
    // AUDIO, MODE1/2352 or MODE1/2048).
    static std::unique_ptr<Disc> FromCue(const std::filesystem::path& cue, std::string& error);
    // A blank of a writable type; what is recorded goes to `workFile`.
    static std::unique_ptr<Disc> Blank(uint16_t profile, const std::filesystem::path& workFile);

    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    uint16_t profile() const { return profile_; }
    const MediaRules& rules() const { return rules_; }
    const std::vector<DiscTrack>& tracks() const { return tracks_; }
    // End of the last track (the lead-out), or 0 without tracks.
    int32_t LeadOut() const;
    uint32_t capacity() const { return capacity_; }
    DiscStatus status() const { return status_; }

    std::string name;
    std::string label;          // volume label; empty when the disc has none
    char16_t recordedBy = 0;    // the drive that recorded it
    uint32_t writtenAt = 0;     // the speed it was recorded at, kB/s
    bool closed = true;         // readable by other drives
    bool formatted = false;     // overwritable media
    int32_t recordedEnd = 0;    // sectors below this were written (sequential media)
    std::vector<Fault> faults;  // read errors that travel with the disc
    DiscMetadata metadata;      // a CD's indexes, flags, ISRCs, MCN and texts

    // The CONTROL bits of a track: its metadata's, else data or plain audio.
    uint8_t TrackControl(const DiscTrack& track) const;

    // 2048 bytes of user data per sector.
    SectorRead ReadUserData(int32_t lba, uint32_t count, uint8_t* out);
    // 2352 bytes per sector: audio samples, or the whole Mode 1 sector.
    SectorRead ReadRaw(int32_t lba, uint32_t count, uint8_t* out);
    bool IsAudio(int32_t lba) const;

    // Recording: raw 2352-byte sectors of a CD (from LBA -150) or 2048-byte
    // sectors of other media.
    bool StoreSectors(int32_t lba, uint32_t count, const uint8_t* data);

    // The recorded layout after a recording or a formatting.
    void SetRecorded(std::vector<DiscTrack> tracks, std::vector<SectorRegion> regions,
                     DiscStatus status, uint32_t capacityBlocks);
    void SetStatus(DiscStatus status) { status_ = status; }
    // BLANK: back to an empty disc; the recorded sectors are dropped.
    void Erase();
    // FORMAT UNIT of overwritable media: empty, formatted, one track over
    // the whole capacity.
    void Format();
    // Makes a blank into a used disc that holds one data track of `blocks`
    // zero blocks, or the given image's sectors.
    bool MarkUsed(const std::filesystem::path& iso, uint32_t blocks, std::string& error);

    // Images for independent tools: the user data of the first data track
    // (for overwritable media: up to the last block written), and a raw
    // cue/bin pair of the whole disc (CDs only).
    bool ExportIso(const std::filesystem::path& iso, std::string& error);
    bool ExportCueBin(const std::filesystem::path& cue, const std::filesystem::path& bin,
                      std::string& error);

    // Where this disc's sectors live in a new recording: raw CD sectors from
    // LBA -150, else 2048-byte sectors from LBA 0.
    SectorRegion RecordingRegion(int32_t firstLba, uint32_t count, bool audio) const;
    const std::filesystem::path& file() const { return file_; }
    // The work file is deleted with the disc unless kept.
    void KeepFile() { ownsFile_ = false; }

  private:
    Disc(uint16_t profile) : profile_(profile), rules_(RulesForProfile(profile)) {}
    const SectorRegion* FindRegion(int32_t lba) const;
    bool OpenFile(bool forWriting);
    bool ReadSector(const SectorRegion& r, int32_t lba, uint8_t* out, uint32_t bytes,
                    uint32_t offsetInSector);
    void ReadLabel();

    uint16_t profile_;
    MediaRules rules_;
    DiscStatus status_ = DiscStatus::Empty;
    uint32_t capacity_ = 0;
    std::vector<DiscTrack> tracks_;
    std::vector<SectorRegion> regions_;
    std::filesystem::path file_;
    std::fstream stream_;
    bool streamWritable_ = false;
    bool ownsFile_ = false;
    bool fromImage_ = false;  // sectors come from a read-only image file
    std::filesystem::path workFile_;
};

}  // namespace vestrel::sim
