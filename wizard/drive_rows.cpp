#include "wizard/drive_rows.h"

#include <new>
#include <utility>

#include "drive/clock.h"
#include "drive/inventory.h"
#include "resources/resource_ids.h"
#include "ui/drive_list_panel.h"
#include "ui/messages.h"
#include "ui/scroll_panel.h"
#include "wizard/drive_row.h"
#include "wizard/frame_state.h"

namespace vestrel::wizard {

namespace {

// The panel's list of records and its last plan, in the order of its rows.
constexpr wchar_t kListProperty[] = L"_C";

DriveList* ListOf(HWND panel) {
    return static_cast<DriveList*>(GetPropW(panel, kListProperty));
}

HWND FrameOf(HWND panel) {
    return GetAncestor(panel, GA_ROOT);
}

// Marks the drive list busy for the length of one of its messages; the
// navigation asked for meanwhile runs once the outermost one is done.
class BusyScope {
  public:
    explicit BusyScope(HWND panel) : frame_(FrameOf(panel)) { ++Process().driveListBusy; }
    ~BusyScope() {
        if (--Process().driveListBusy > 0)
            return;
        const int id = std::exchange(Process().deferredCommand, 0);
        HWND button = id ? GetDlgItem(frame_, id) : nullptr;
        // Next counts only if the plan still allows it.
        if (button && (id != IDC_NEXT || IsWindowEnabled(button)))
            PostMessageW(frame_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    HWND frame_;
};

// Plans the copies, shows every row's destination column and sets Next.
void ApplyPlan(HWND panel) {
    DriveList* list = ListOf(panel);
    if (!list)
        return;
    const CopyPlan& plan = list->Replan();
    for (int i = 0; i < PanelRowCount(panel); ++i)
        UpdateDriveRow(PanelRow(panel, i));
    EnableWindow(GetDlgItem(FrameOf(panel), IDC_NEXT), plan.nextEnabled);
}

HWND RowAt(HWND panel, size_t index) {
    return PanelRow(panel, static_cast<int>(index));
}

void AddRow(HWND panel, char16_t letter) {
    BusyScope busy(panel);
    DriveList* list = ListOf(panel);
    if (!list || list->IndexOf(letter))
        return;
    list->AddRow(letter);
    if (!AddPanelRow(panel, kDriveRowClass, letter)) {
        list->RemoveRow(letter);
        return;
    }
    // Let the new row show and the drive settle before the plan is made.
    ActiveClock().WaitDispatchingMessages(kAddRowSettleMs);
    ApplyPlan(panel);
}

void RemoveRow(HWND panel, char16_t letter) {
    BusyScope busy(panel);
    DriveList* list = ListOf(panel);
    const std::optional<size_t> index = list ? list->RemoveRow(letter) : std::nullopt;
    if (!index)
        return;
    HWND row = RowAt(panel, *index);
    HWND focus = GetFocus();
    const bool focusInList = focus && (focus == panel || IsChild(panel, focus));
    RemovePanelRow(panel, row);
    const size_t count = list->rows().size();
    if (const std::optional<size_t> next = FocusAfterRemoval(*index, count)) {
        HWND nextRow = RowAt(panel, *next);
        SetFocusedPanelRow(panel, nextRow);
        // The focus moves on within the list; it is not taken from elsewhere.
        if (focusInList || GetFocus() == nullptr)
            SetFocus(nextRow);
    }
    ApplyPlan(panel);
}

void RefreshRow(HWND panel, char16_t letter) {
    BusyScope busy(panel);
    DriveList* list = ListOf(panel);
    if (list && list->RefreshRow(letter))
        ApplyPlan(panel);
}

void Forget(HWND panel) {
    delete ListOf(panel);
    RemovePropW(panel, kListProperty);
    if (Process().driveListPanel == panel)
        Process().driveListPanel = nullptr;
}

bool OnPanelMessage(HWND panel, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    const auto letter = static_cast<char16_t>(wParam);
    switch (message) {
        case WM_ADDDRIVEROW:
            AddRow(panel, letter);
            return true;
        case WM_REMOVEDRIVEROW:
            RemoveRow(panel, letter);
            return true;
        case WM_REFRESHDRIVEROW:
            RefreshRow(panel, letter);
            return true;
        case WM_DESTROY:
            Forget(panel);
            return true;
        default:
            return false;
    }
}

// Enumeration's messages go to the panel as the system's would.
class PanelTarget : public DriveListTarget {
  public:
    explicit PanelTarget(HWND panel) : panel_(panel) {}
    void Receive(DriveListMessage message, char16_t letter) override {
        if (IsWindow(panel_))
            SendMessageW(panel_, static_cast<UINT>(message), letter, 0);
    }

  private:
    HWND panel_;
};

}  // namespace

void CurrentDriveList::Receive(DriveListMessage message, char16_t letter) {
    if (HWND panel = Process().driveListPanel)
        SendMessageW(panel, static_cast<UINT>(message), letter, 0);
}

void InstallDriveRows() {
    SetDriveRowMessageHandler(OnPanelMessage);
    RegisterDriveRowClasses();
}

void FillDriveList(HWND panel) {
    auto* list = new (std::nothrow) DriveList;
    if (!list)
        return;
    SetPropW(panel, kListProperty, list);
    Process().driveListPanel = panel;
    EnableWindow(GetDlgItem(FrameOf(panel), IDC_NEXT), FALSE);
    PanelTarget target(panel);
    EnumerateOpticalDrives(target);
    // Without any drive no row planned: the plan of nothing clears the
    // source table an earlier run left.
    if (IsWindow(panel) && PanelRowCount(panel) == 0)
        ApplyPlan(panel);
}

HWND PanelOfRow(HWND row) {
    HWND content = GetParent(row);
    HWND viewport = content ? GetParent(content) : nullptr;
    return viewport ? GetParent(viewport) : nullptr;
}

std::optional<RowView> ViewOfRow(HWND row) {
    HWND panel = PanelOfRow(row);
    const DriveList* list = panel ? ListOf(panel) : nullptr;
    if (!list)
        return std::nullopt;
    const std::optional<size_t> index = list->IndexOf(DriveRowLetter(row));
    if (!index)
        return std::nullopt;
    RowView view;
    view.record = &list->rows()[*index].record;
    view.index = *index;
    static const RowDestination kNone;
    const std::vector<RowDestination>& columns = list->plan().rows;
    view.destination = *index < columns.size() ? &columns[*index] : &kNone;
    return view;
}

bool StepRowCopies(HWND row, int delta) {
    HWND panel = PanelOfRow(row);
    DriveList* list = panel ? ListOf(panel) : nullptr;
    const std::optional<RowView> view = ViewOfRow(row);
    if (!list || !view || !list->StepCopies(view->index, delta))
        return false;
    ApplyPlan(panel);
    return true;
}

void MoveRowFocus(HWND row, FocusKey key) {
    HWND panel = PanelOfRow(row);
    const int count = PanelRowCount(panel);
    for (int i = 0; i < count; ++i) {
        if (PanelRow(panel, i) != row)
            continue;
        const size_t target = MoveFocus(static_cast<size_t>(i), key, static_cast<size_t>(count));
        SetFocus(RowAt(panel, target));
        return;
    }
}

}  // namespace vestrel::wizard
