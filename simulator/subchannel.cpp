#include "simulator/subchannel.h"

#include <algorithm>
#include <optional>
#include <string>

namespace vestrel::sim {

QChannel::QChannel(const Disc& disc) : mcn_(disc.metadata.mcn), leadOut_(disc.LeadOut()) {
    if (!disc.metadata.tracks.empty()) {
        tracks_ = disc.metadata.tracks;
    } else {
        for (const DiscTrack& t : disc.tracks()) {
            TrackMetadata m;
            m.number = t.number;
            m.control = disc.TrackControl(t);
            m.indexes = {tracks_.empty() ? -kQLbaOffset : t.start, t.start};
            tracks_.push_back(std::move(m));
        }
    }
    if (!disc.tracks().empty())
        leadOutControl_ = disc.TrackControl(disc.tracks().back());
}

const TrackMetadata* QChannel::TrackAt(int32_t lba) const {
    if (lba >= leadOut_)
        return nullptr;
    const TrackMetadata* found = tracks_.empty() ? nullptr : &tracks_.front();
    for (const TrackMetadata& t : tracks_) {
        if (t.PreGapStart() <= lba)
            found = &t;
    }
    return found;
}

// The last index that begins at or before `lba`: a track without a pre-gap
// has index 0 and 1 at the same LBA, and is in index 1 there.
uint8_t QChannel::IndexAt(const TrackMetadata& track, int32_t lba) const {
    uint8_t index = 0;
    for (size_t i = 0; i < track.indexes.size(); ++i) {
        if (track.indexes[i] <= lba)
            index = static_cast<uint8_t>(i);
    }
    return index;
}

QFrame QChannel::FrameAt(int32_t lba, uint32_t isrcLag) const {
    const TrackMetadata* track = TrackAt(lba);
    if (!track)
        return QPositionAt(lba, leadOutControl_, kQLeadOutTrack, 1, leadOut_);
    const uint32_t phase = static_cast<uint32_t>(std::max(lba + kQLbaOffset, 0)) % kQCodePeriod;
    QFrame code;
    code.control = track->control;
    code.aframe = static_cast<uint8_t>(static_cast<uint32_t>(std::max(lba + kQLbaOffset, 0)) % 75);
    if (phase == kQCatalogPhase && !mcn_.empty()) {
        code.adr = qadr::CatalogNumber;
        code.code = mcn_;
        return code;
    }
    if (phase == kQIsrcPhase && !track->isrc.empty() && !(track->control & kControlData)) {
        code.adr = qadr::Isrc;
        code.code = track->isrc;
        const bool latched = track != &tracks_.front() && lba >= track->Start() &&
                             lba - track->Start() < static_cast<int64_t>(isrcLag);
        if (latched && !(track - 1)->isrc.empty())
            code.code = (track - 1)->isrc;
        return code;
    }
    return QPositionAt(lba, track->control, track->number, IndexAt(*track, lba), track->Start());
}

QFrameBytes QChannel::BytesAt(int32_t lba, uint32_t isrcLag) const {
    if (std::optional<QFrameBytes> q = EncodeQFrame(FrameAt(lba, isrcLag)))
        return *q;
    // A code the frame cannot carry (the metadata is checked when the disc
    // is made, so only a disc built by hand gets here): the position.
    const TrackMetadata* track = TrackAt(lba);
    QFrame position = track ? QPositionAt(lba, track->control, track->number, IndexAt(*track, lba),
                                          track->Start())
                            : QPositionAt(lba, leadOutControl_, kQLeadOutTrack, 1, leadOut_);
    return EncodeQFrame(position).value_or(QFrameBytes{});
}

bool QChannel::PauseAt(int32_t lba) const {
    const TrackMetadata* track = TrackAt(lba);
    return !track || IndexAt(*track, lba) == 0;
}

std::vector<CdTextPack> DiscCdTextPacks(const DiscMetadata& metadata) {
    if (metadata.tracks.empty())
        return {};
    auto texts = [](const CdTexts& t) {
        return vestrel::CdTexts{t.title, t.performer, t.songwriter};
    };
    std::vector<vestrel::CdTexts> tracks;
    for (const TrackMetadata& t : metadata.tracks)
        tracks.push_back(texts(t.text));
    return AlbumCdTextPacks(texts(metadata.text), tracks, metadata.tracks.front().number);
}

}  // namespace vestrel::sim
