// Every resource and control id of the wizard. Dialogs are 2n01; the
// controls of dialog 2n01 are numbered from 3n01; static decorations from
// 4001; icon groups from 1001. Plain macros, so the resource scripts share
// them.
#pragma once

// Icon groups.
#define IDI_APPLICATION_ICON 1001  // 16 to 256 pixels
#define IDI_EXIT 1101
#define IDI_NEXT 1102
#define IDI_NEXT_DISABLED 1103
#define IDI_BACK 1104
#define IDI_BACK_DISABLED 1105
#define IDI_STEP_CURRENT 1106
#define IDI_STEP_DONE 1202
#define IDI_FAILED 1203
#define IDI_INFO 1204       // also the reading and writing pages' state
#define IDI_OVERWRITE 1301  // 48 to 96 pixels

// Dialogs.
#define IDD_FRAME 2001
#define IDD_ABOUT 2101
#define IDD_WELCOME 2201
#define IDD_REMOVE_DISCS 2301
#define IDD_SELECT_DRIVES 2401
#define IDD_READING 2501
#define IDD_OVERWRITE 2601
#define IDD_WRITING 2701
#define IDD_FINISH 2801

// Static decorations (ids repeat between dialogs).
#define IDC_DECORATION1 4001
#define IDC_DECORATION2 4002

// Frame (2001).
#define IDC_SIDE_PANEL 3001
#define IDC_NEXT 3002
#define IDC_BACK 3003
#define IDC_EXIT 3004
#define IDC_HEADER 3005
#define IDC_ABOUT 3006
#define IDC_WEB_LINK 3007

// About box (2101).
#define IDC_ABOUT_LINK 3101
#define IDC_ABOUT_ICONS_TITLE 3103
#define IDC_ABOUT_ICONS_TEXT 3104
#define IDC_ABOUT_BUTTON_BAR 3105

// Welcome (2201).
#define IDC_WELCOME_TEXT 3201
#define IDC_WELCOME_LINK 3202
#define IDC_WELCOME_WARNING 3203

// Select source and destination drives (2401).
#define IDC_SOURCE_HEADING 3402
#define IDC_DESTINATION_HEADING 3403
#define IDC_DRIVE_LIST 3404

// Overwrite files? (2601).
#define IDC_OVERWRITE_LIST 3601
#define IDC_OVERWRITE 6         // IDYES
#define IDC_OVERWRITE_CANCEL 7  // IDNO

// Read source discs (2501).
#define IDC_READING_TITLE 3501
#define IDC_READING_ADVICE 3502
#define IDC_READING_ICON 3503

// Write destination discs (2701).
#define IDC_WRITING_TITLE 3702
#define IDC_WRITING_ICON 3703

// Finish (2801) and Remove discs (2301; its controls share the 38nn block).
#define IDC_FINISH_RESULT 3801
#define IDC_FINISH_ADVICE 3802
#define IDC_FINISH_LINK 3803
#define IDC_REMOVE_INFO_TEXT 3804
#define IDC_REMOVE_INFO_LINK 3805
