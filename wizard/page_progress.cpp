// Read source discs (dialog 2501) and Write destination discs (dialog
// 2701): a state icon and texts above the panel container, which holds one
// progress panel per source or per recorder and starts their threads.
#include <vector>

#include "drive/source_table.h"
#include "engine/copy_coordination.h"
#include "engine/image_store.h"
#include "resources/resource_ids.h"
#include "ui/icon_static.h"
#include "ui/icons.h"
#include "ui/messages.h"
#include "ui/panel_container.h"
#include "ui/scroll_panel.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"
#include "wizard/progress_panel.h"

namespace vestrel::wizard {

namespace {

constexpr int kProgressRowHeight = 56;
constexpr WPARAM kReadMode = 0;
constexpr WPARAM kWriteMode = 1;

// Set on the writing page once its run has ended: the image files are
// deleted once.
constexpr wchar_t kPropRunEnded[] = L"_J";

void SetStateIcon(HWND page, bool writing, int icon) {
    HWND control = GetDlgItem(page, writing ? IDC_WRITING_ICON : IDC_READING_ICON);
    SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(LoadSizedIcon(icon, 20)), 0);
    InvalidateRect(control, nullptr, FALSE);
}

void SetTexts(HWND page, int titleId, const char16_t* title, int adviceId, const char16_t* advice) {
    SetDlgItemTextW(page, titleId, Wide(title));
    if (advice)
        SetDlgItemTextW(page, adviceId, Wide(advice));
}

void ReflectReading(HWND page, HWND frame, const std::vector<RunState>& states) {
    const ReadingOutcome o = EvaluateReadingPanels(states, SourceTable());
    if (o.anyFailed) {
        SetStateIcon(page, false, IDI_FAILED);
        SetTexts(page, IDC_READING_TITLE, kReadingFailedText, IDC_READING_ADVICE, kGoBackText);
    } else if (!o.anyRunning && o.nextEnabled) {
        SetStateIcon(page, false, IDI_STEP_DONE);
        SetTexts(page, IDC_READING_TITLE,
                 o.anyLeftOut ? kSomeSourcesLeftOutText : kReadingFinishedText, IDC_READING_ADVICE,
                 o.anyLeftOut ? kWriteTheOthersText : kContinueText);
    }
    EnableWindow(GetDlgItem(frame, IDC_NEXT), o.nextEnabled);
}

void ReflectWriting(HWND page, HWND frame, const std::vector<RunState>& states) {
    const PanelsOutcome o = EvaluatePanels(states);
    if (o.allFinished) {
        SetStateIcon(page, true, IDI_STEP_DONE);
        SetTexts(page, IDC_WRITING_TITLE, kWritingFinishedText, 0, nullptr);
    } else if (o.anyFailed) {
        SetStateIcon(page, true, IDI_FAILED);
        SetTexts(page, IDC_WRITING_TITLE, kWritingCancelledText, 0, nullptr);
    }
    const WritingEnd end = WritingPageEnd(states, SourceTable());
    if (!end.deleteImageFiles || GetPropW(page, kPropRunEnded))
        return;
    SetPropW(page, kPropRunEnded, reinterpret_cast<HANDLE>(1));
    DeleteImageFiles(SourceTable());
    SetPropW(frame, kPropCopyOutcome,
             reinterpret_cast<HANDLE>(static_cast<intptr_t>(end.copyOutcome)));
    EnableWindow(GetDlgItem(frame, IDC_NEXT), TRUE);
}

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
    InstallProgressPanels();
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
                         writing ? OnWritingInit : OnReadingInit, [&]() -> INT_PTR {
                             if (message == WM_DESTROY)
                                 RemovePropW(page, kPropRunEnded);
                             return FALSE;
                         });
}

}  // namespace

void ReflectPanels(HWND container) {
    HWND page = GetParent(container);
    HWND frame = GetParent(page);
    std::vector<RunState> states;
    for (int i = 0; i < PanelRowCount(container); ++i)
        states.push_back(PanelRunState(PanelRow(container, i)));
    if (PanelContainerWorkMode(container) == 1)
        ReflectWriting(page, frame, states);
    else
        ReflectReading(page, frame, states);
}

INT_PTR CALLBACK ReadingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return ProgressPageProc(page, message, wParam, lParam, false);
}

INT_PTR CALLBACK WritingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return ProgressPageProc(page, message, wParam, lParam, true);
}

}  // namespace vestrel::wizard
