// Next, Back and Exit: the page changes with their questions, the image
// files planned before reading and deleted when a copy is abandoned.
#include "drive/source_table.h"
#include "engine/image_store.h"
#include "engine/source_layout.h"
#include "resources/resource_ids.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/frame_threads.h"
#include "wizard/navigation.h"
#include "wizard/page_table.h"
#include "wizard/pages.h"
#include "wizard/side_panel.h"

namespace vestrel::wizard {

namespace {

bool AskYesNo(HWND frame, const char16_t* question) {
    return ShowMessage(frame, Wide(question), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Leaving the select page: each source's tracks, a place for every image
// file, and consent for files already there.
bool PrepareImageFiles(HWND frame) {
    ReadSourceLayouts();
    if (!PlanImageFiles(SourceTable())) {
        ShowMessage(frame, Wide(kNotEnoughSpaceMessage), MB_ICONEXCLAMATION);
        return false;
    }
    return ConfirmImageOverwrite(frame);
}

// The page goes first, so that its reader or writer threads have stopped
// and closed their files before those are deleted.
void DestroyCurrentPage() {
    if (HWND page = Process().currentPage.exchange(nullptr))
        DestroyWindow(page);
}

}  // namespace

void GoToPage(HWND frame, int index, HWND previous) {
    SetDlgItemTextW(frame, IDC_HEADER, Wide(PageAt(index).title));
    HWND page = CreatePage(frame, index);
    Process().currentPage.store(page);
    SetPageIndex(frame, index);
    RenderStepList(frame, index);
    ShowStepList(frame);
    if (previous)
        DestroyWindow(previous);
}

void OnNext(HWND frame) {
    HWND previous = Process().currentPage.load();
    HWND next = GetDlgItem(frame, IDC_NEXT);
    EnableWindow(next, FALSE);
    const NextStep step = NextStepFrom(PageIndex(frame));
    if (!step.moves)
        return;
    if (step.needsImageFiles && !PrepareImageFiles(frame)) {
        EnableWindow(next, TRUE);
        return;
    }
    GoToPage(frame, step.newIndex, previous);
}

void OnBack(HWND frame) {
    HWND back = GetDlgItem(frame, IDC_BACK);
    if (!BackLeavesReading(PageIndex(frame))) {
        EnableWindow(back, FALSE);
        return;
    }
    if (!AskYesNo(frame, kBackQuestion))
        return;
    EnableWindow(back, FALSE);
    GoToPage(frame, kSelectDrivesPage, Process().currentPage.load());
    DeleteImageFiles(SourceTable());
}

void OnExit(HWND frame) {
    const int index = PageIndex(frame);
    const bool copying = index == kReadingPage || index == kWritingPage;
    const ExitPlan plan = ExitPlanFor(index, copying && AnyThreadLeft());
    if (plan.question && !AskYesNo(frame, plan.question))
        return;
    if (plan.stopPageFirst || plan.deleteImageFiles)
        DestroyCurrentPage();
    if (plan.deleteImageFiles)
        DeleteImageFiles(SourceTable());
    EndDialog(frame, 1);
}

}  // namespace vestrel::wizard
