// Speeds and mode pages: the speed the host asked for and the one the
// drive runs at, the capabilities and write parameters pages, and the
// performance the drive reports.
#include <algorithm>
#include <utility>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "simulator/virtual_drive.h"
#include "simulator/virtual_drive_replies.h"

namespace vestrel::sim {

namespace {

bool ValidBlockType(uint8_t t) {
    return t <= 3 || (t >= 8 && t <= 13);
}

}  // namespace

// --- speeds ----------------------------------------------------------------

uint32_t VirtualDrive::EffectiveWriteSpeed() const {
    if (!disc_)
        return 0;
    auto it = model_.writeSpeeds.find(disc_->rules().family);
    if (it == model_.writeSpeeds.end() || it->second.empty())
        return 0;
    uint32_t wanted = streamingWrite_ ? streamingWrite_ : cdWriteSpeed_;
    for (uint32_t s : it->second) {  // fastest first
        if (s <= wanted)
            return s;
    }
    return it->second.back();
}

uint32_t VirtualDrive::EffectiveReadSpeed() const {
    if (!disc_)
        return 0;
    auto it = model_.readSpeed.find(disc_->rules().family);
    uint32_t max = it == model_.readSpeed.end() ? 1385 : it->second;
    uint32_t wanted = streamingRead_ ? streamingRead_ : cdReadSpeed_;
    return std::min(max, wanted ? wanted : max);
}

ScsiResult VirtualDrive::SetCdSpeed(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    cdReadSpeed_ = cdb.Be16(2);
    cdWriteSpeed_ = cdb.Be16(4);
    return Good();
}

ScsiResult VirtualDrive::SetStreaming(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdbLength < 12 || cdb.U8(8) != 0)
        return kInvalidField;  // only the performance descriptor is modelled
    uint16_t length = cdb.Be16(9);
    if (length == 0)
        return Good();
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < length)
        return IoFailure(kErrorIoDevice);
    if (length < kStreamingDescriptorLength)
        return kParameterLength;
    ByteReader d(c.data, length);
    ++setStreamingCount_;
    if (d.U8(0) & 0x04) {  // RDD: back to the drive's defaults
        streamingRead_ = 0;
        streamingWrite_ = 0;
        cdReadSpeed_ = 0xFFFF;
        cdWriteSpeed_ = 0xFFFF;
        return Good();
    }
    uint32_t readTime = d.Be32(16);
    uint32_t writeTime = d.Be32(24);
    if (readTime == 0 || writeTime == 0 || d.Be32(4) > d.Be32(8))
        return kInvalidParameter;
    streamingRead_ = static_cast<uint32_t>(uint64_t{d.Be32(12)} * 1000 / readTime);
    streamingWrite_ = static_cast<uint32_t>(uint64_t{d.Be32(20)} * 1000 / writeTime);
    return Good();
}

ScsiResult VirtualDrive::GetPerformance(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdbLength < 12 || cdb.U8(10) != 0x03)
        return kInvalidField;  // write speed descriptors are what is modelled
    if (HasFault(FaultKind::RefuseGetPerformance))
        return kInvalidField;
    if (auto r = NotReady())
        return *r;
    uint16_t maxDescriptors = cdb.Be16(8);
    return Reply(c, WriteSpeedData(model_, disc_->profile(), disc_->capacity(), maxDescriptors),
                 c.transferLength);
}

// --- mode pages ----------------------------------------------------------

ScsiResult VirtualDrive::ModeSense(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint8_t control = c.cdb[2] >> 6;
    uint8_t page = c.cdb[2] & 0x3F;
    if (c.cdb[3] != 0)
        return kInvalidField;
    if (control == 3)
        return Sense(5, 0x39, 0);      // saving parameters not supported
    std::vector<uint8_t> reply(8, 0);  // the mode parameter header, then the pages
    auto add = [&](const std::vector<uint8_t>& p) {
        reply.insert(reply.end(), p.begin(), p.end());
    };
    auto writePage = [&]() {
        std::vector<uint8_t> p = control == 2 ? model_.writeParametersPage : writeParameters_;
        if (control == 1) {
            for (size_t i = 2; i < p.size(); ++i)
                p[i] = 0xFF;
        }
        return p;
    };
    if (page == 0x2A && !model_.capabilitiesPage.empty()) {
        add(model_.capabilitiesPage);
    } else if (page == 0x05 && !model_.writeParametersPage.empty()) {
        add(writePage());
    } else if (page == 0x3F) {
        if (!model_.writeParametersPage.empty())
            add(writePage());
        add(model_.capabilitiesPage);
    } else {
        return kInvalidField;
    }
    ByteWriter(reply.data(), reply.size()).Be16(0, static_cast<uint16_t>(reply.size() - 2));
    return Reply(c, reply, cdb.Be16(7));
}

ScsiResult VirtualDrive::ModeSelect(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdb[1] & 0x01)
        return kInvalidField;  // save pages
    uint16_t length = cdb.Be16(7);
    if (length == 0)
        return Good();
    if (c.direction != DataDirection::ToDevice || c.transferLength < length || !c.data)
        return IoFailure(kErrorIoDevice);
    if (TakeFault(FaultKind::RefuseModeSelect, 0, 0) || HasFault(FaultKind::RefuseModeSelect))
        return kInvalidParameter;
    ByteReader list(c.data, length);
    if (length < 8)
        return kParameterLength;
    size_t offset = 8 + size_t{list.Be16(6)};
    if (offset > length)
        return kParameterLength;
    std::vector<uint8_t> page05;
    while (offset + 2 <= length) {
        uint8_t code = list.U8(offset) & 0x3F;
        uint8_t pageLength = list.U8(offset + 1);
        if (code == 0 && pageLength == 0) {
            // The rest of a fixed-size parameter list is padding.
            bool padding = true;
            for (size_t i = offset; i < length; ++i)
                padding = padding && list.U8(i) == 0;
            if (padding)
                break;
        }
        if (!list.Has(offset, size_t{pageLength} + 2))
            return kParameterLength;
        if (code != 0x05 || model_.writeParametersPage.empty() ||
            pageLength != model_.writeParametersPage[1])
            return kInvalidParameter;
        uint8_t writeType = list.U8(offset + 2) & 0x0F;
        uint8_t blockType = list.U8(offset + 4) & 0x0F;
        if (writeType > 4 || !ValidBlockType(blockType))
            return kInvalidParameter;
        page05.assign(list.data() + offset, list.data() + offset + pageLength + 2);
        page05[0] &= 0x3F;  // the PS bit is the drive's to report
        offset += size_t{pageLength} + 2;
    }
    if (!page05.empty())
        writeParameters_ = std::move(page05);
    return Good();
}

}  // namespace vestrel::sim
