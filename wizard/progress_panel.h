// A progress panel (class "d3") of the reading and writing pages: one
// drive, its title, second line and status, a progress bar, the links its
// worker offers, and the worker thread itself, which the panel starts and,
// when it goes, stops and waits for.
#pragma once

#include <windows.h>

#include "engine/panel_channel.h"

namespace vestrel::wizard {

// Gives the panel container its progress panels and their thread start.
void InstallProgressPanels();

// A panel's run state, read under the drive lock.
RunState PanelRunState(HWND panel);

}  // namespace vestrel::wizard
