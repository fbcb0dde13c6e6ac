// Next, Back and Exit: the page changes with their questions, the image
// files planned before reading and deleted when a copy is abandoned.
#include <utility>
#include <vector>

#include "drive/source_table.h"
#include "drive/volume_notifications.h"
#include "engine/image_store.h"
#include "engine/source_layout.h"
#include "engine/worker_threads.h"
#include "resources/resource_ids.h"
#include "wizard/drive_rows.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
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
// file, and consent for files already there. Volume changes meanwhile are
// held back: a plan made now would undo the one being prepared.
bool PrepareImageFiles(HWND frame) {
    WizardProcess& p = Process();
    p.holdVolumeEvents = true;
    ReadSourceLayouts();
    bool ready = PlanImageFiles(SourceTable());
    if (!ready)
        ShowMessage(frame, Wide(kNotEnoughSpaceMessage), MB_ICONEXCLAMATION);
    ready = ready && ConfirmImageOverwrite(frame);
    p.holdVolumeEvents = false;
    return ready;
}

// The volume changes held back while Next was leaving the select page,
// acted on now that the wizard stays there.
void ActOnHeldVolumeEvents() {
    std::vector<VolumeEvent> held = std::exchange(Process().heldVolumeEvents, {});
    for (const VolumeEvent& event : held) {
        CurrentDriveList target;
        HandleVolumeEvent(event, target);
    }
}

// The page goes first, so that its reader or writer threads have stopped
// and closed their files before those are deleted.
void DestroyCurrentPage() {
    if (HWND page = Process().currentPage.exchange(nullptr))
        DestroyWindow(page);
}

}  // namespace

void GoToPage(HWND frame, int index, HWND previous) {
    // The new index holds while the page is made: what the page starts
    // then (threads, waits that dispatch messages) sees the step it is on.
    SetPageIndex(frame, index);
    SetDlgItemTextW(frame, IDC_HEADER, Wide(PageAt(index).title));
    HWND page = CreatePage(frame, index);
    Process().currentPage.store(page);
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
        ActOnHeldVolumeEvents();
        return;
    }
    Process().heldVolumeEvents.clear();
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
    // The select page plans anew as it is made, which clears the source
    // table: the abandoned run's files are taken from it first.
    const std::vector<SourceRecord> abandoned = SourceTable();
    GoToPage(frame, kSelectDrivesPage, Process().currentPage.load());
    DeleteImageFiles(abandoned);
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
