// What a CD carries in its sub-channels besides the samples, built on the
// fly from the disc's tracks and metadata with the drive layer's encoders:
// the Q frame of every sector, and the CD-Text packs of the lead-in.
//
// Q frames follow a fixed schedule, counted on the absolute time (LBA + 150)
// so that every disc carries its codes at the same places:
// - absolute frame % 100 == 0: ADR 2, the catalogue number, when the disc
//   has one;
// - absolute frame % 100 == 50: ADR 3, the ISRC of the track the sector
//   belongs to (its pre-gap included), when that audio track has one;
// - every other sector, and the above when there is no code to carry:
//   ADR 1, the position.
// That is one catalogue number and one ISRC frame in every 100 sectors, and
// 98 position frames, as pressed discs carry them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "drive/cd_text.h"
#include "drive/subchannel_q.h"
#include "simulator/disc.h"

namespace vestrel::sim {

constexpr uint32_t kQCodePeriod = 100;
constexpr uint32_t kQCatalogPhase = 0;
constexpr uint32_t kQIsrcPhase = 50;

// The Q sub-channel of one disc: its tracks' metadata taken once (discs
// without metadata get each track's CONTROL bits and no pre-gap but track
// 1's), then a frame per sector.
class QChannel {
  public:
    explicit QChannel(const Disc& disc);
    // The frame's content at `lba`: in the lead-out, track AAh index 1. A
    // drive whose ISRC latch lags `isrcLag` sectors gives the ISRC frames of
    // a track's first `isrcLag` sectors from index 1 the track before's ISRC
    // (when it has one).
    QFrame FrameAt(int32_t lba, uint32_t isrcLag = 0) const;
    // The 12 bytes as on the disc, CRC included.
    QFrameBytes BytesAt(int32_t lba, uint32_t isrcLag = 0) const;
    // Whether the P channel is set: in the pauses (index 0) and the lead-out.
    bool PauseAt(int32_t lba) const;

  private:
    const TrackMetadata* TrackAt(int32_t lba) const;
    uint8_t IndexAt(const TrackMetadata& track, int32_t lba) const;

    std::vector<TrackMetadata> tracks_;
    std::string mcn_;
    int32_t leadOut_ = 0;
    uint8_t leadOutControl_ = 0;
};

// The disc's texts as one English block of ISO 8859-1 packs (title,
// performer and songwriter, each type only when some text of it is given);
// no packs for a disc without texts.
std::vector<CdTextPack> DiscCdTextPacks(const DiscMetadata& metadata);

}  // namespace vestrel::sim
