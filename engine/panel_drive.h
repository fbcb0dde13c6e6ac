// What a progress panel shows of its drive, and its lines of text, the
// same for the wizard's panel and any other.
#pragma once

#include <string>

#include "engine/panel_channel.h"

namespace vestrel {

// The panel's drive as it starts: its top profile (GET CONFIGURATION), its
// vendor (INQUIRY), the volume label of its disc as the caption when there
// is one, and the status "Preparing.".
PanelState DescribePanelDrive(char16_t letter);

// "%s Drive (%C:) [%s]": the class the top profile names, the letter, the
// vendor.
std::u16string PanelTitle(const PanelState& state);

// The panel's second line: on the reading page, once its reader started,
// " - Volume label: %s" (or "(None)"); on the writing page, while its
// writer writes, the writer's caption; otherwise nothing.
std::u16string PanelSecondLine(const PanelState& state, RunState runState, bool writing);

// The link captions, by link value.
std::u16string PanelLinkCaption(uint32_t link);

}  // namespace vestrel
