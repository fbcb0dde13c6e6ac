// Read source discs (dialog 2501) and Write destination discs (dialog
// 2701): a state icon and texts above the panel container, which holds one
// progress panel per source or per recorder and starts their threads.
#include <vector>

#include "drive/source_table.h"
#include "engine/copy_coordination.h"
#include "resources/resource_ids.h"
#include "ui/icon_static.h"
#include "ui/icons.h"
#include "ui/messages.h"
#include "ui/panel_container.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

constexpr int kProgressRowHeight = 56;
constexpr WPARAM kReadMode = 0;
constexpr WPARAM kWriteMode = 1;

void OnInit(HWND page, bool writing) {
    HWND frame = GetParent(page);
    HWND icon = GetDlgItem(page, writing ? IDC_WRITING_ICON : IDC_READING_ICON);
    SubclassTransparentIconStatic(icon);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadSizedIcon(IDI_INFO, 20)), 0);
    if (writing)
        EnableWindow(GetDlgItem(frame, IDC_BACK), FALSE);

    HWND reference = writing ? icon : GetDlgItem(page, IDC_READING_ADVICE);
    const RECT rect = PanelRectOnPage(page, reference, kProgressRowHeight);
    HWND container = CreatePanelContainer(page, rect.left, rect.top, rect.right - rect.left,
                                          rect.bottom - rect.top);
    if (!container)
        return;
    if (writing) {
        for (char16_t letter : WriterLetters(SourceTable()))
            SendMessageW(container, WM_ADDDRIVEPANEL, kWriteMode, letter);
    } else {
        for (size_t i = 0; i < SourceTable().size(); ++i)
            SendMessageW(container, WM_ADDDRIVEPANEL, kReadMode, static_cast<LPARAM>(i));
    }
    SetFocus(container);
    if (!writing)
        EnableWindow(GetDlgItem(frame, IDC_BACK), TRUE);
    SendMessageW(container, WM_STARTPANELTHREADS, writing ? kWriteMode : kReadMode, 0);
}

void OnReadingInit(HWND page) {
    OnInit(page, false);
}

void OnWritingInit(HWND page) {
    OnInit(page, true);
}

INT_PTR ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, bool writing) {
    HWND icon = GetDlgItem(page, writing ? IDC_WRITING_ICON : IDC_READING_ICON);
    return PageProcedure(page, message, wParam, lParam, kFillStatics | kAnswerFillBackground, icon,
                         writing ? OnWritingInit : OnReadingInit);
}

}  // namespace

INT_PTR CALLBACK ReadingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return ProgressPageProc(page, message, wParam, lParam, false);
}

INT_PTR CALLBACK WritingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return ProgressPageProc(page, message, wParam, lParam, true);
}

}  // namespace vestrel::wizard
