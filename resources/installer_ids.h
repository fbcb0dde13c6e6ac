// The installer's resources: its one dialog, its icon and the dialog's
// controls. Plain macros, so the resource script shares them.
#pragma once

#define IDD_INSTALLER 102
#define IDI_INSTALLER 128

#define IDC_INSTALL_FOLDER 1000
#define IDC_START_MENU_SHORTCUT 1001
#define IDC_DESKTOP_SHORTCUT 1002
#define IDC_QUICK_LAUNCH_SHORTCUT 1003
#define IDC_INSTALL_TEXT 1004
