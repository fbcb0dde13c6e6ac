#include "engine/panel_drive.h"

#include <vector>

#include "drive/capabilities.h"
#include "drive/cdb.h"
#include "drive/disc_types.h"
#include "drive/drive_record.h"
#include "drive/inventory.h"
#include "drive/mmc_commands.h"
#include "drive/text.h"

namespace vestrel {

PanelState DescribePanelDrive(char16_t letter) {
    PanelState state;
    state.driveLetter = letter;
    std::vector<uint8_t> configuration(kGetConfigurationLength);
    if (SendGetConfiguration(letter, configuration).ok())
        state.topProfile = HighestProfile(ByteReader(configuration)).value_or(0);
    std::vector<uint8_t> inquiry(kInquiryLength);
    if (SendInquiry(letter, inquiry).ok())
        state.vendor = VendorFromInquiry(ByteReader(inquiry));
    state.caption = ReadVolumeLabel(letter);
    state.status = u"Preparing.";
    return state;
}

std::u16string PanelTitle(const PanelState& state) {
    return FormatText(u"%s Drive (%C:) [%s]", {DiscTypeName(ProfileToDiscType(state.topProfile)),
                                               state.driveLetter, state.vendor});
}

std::u16string PanelSecondLine(const PanelState& state, RunState runState, bool writing) {
    if (writing)
        return runState == RunState::Writing ? state.caption : u"";
    if (runState == RunState::Idle)
        return u"";
    return FormatText(u" - Volume label: %s",
                      {state.caption.empty() ? std::u16string(u"(None)") : state.caption});
}

std::u16string PanelLinkCaption(uint32_t link) {
    switch (link) {
        case panel_link::SkipSource:
            return u"Skip Source";
        case panel_link::Eject:
            return u"Eject";
        case panel_link::ChangeDisc:
            return u"Change Disc";
        case panel_link::DiscTypes:
            return u"Disc Types";
        case panel_link::ShowContents:
            return u"Show contents";
        case panel_link::Yes:
            return u"Yes";
        case panel_link::ShowPath:
            return kShowPathCaption;
        case panel_link::Retry:
            return u"Retry";
        case panel_link::SkipCopy:
            return u"Skip copy";
        case panel_link::Continue:
            return u"Continue";
        default:
            return u"";
    }
}

}  // namespace vestrel
