// Remove discs (dialog 2301): every tray is ejected when the page opens, and
// a polling thread presses Next by itself once no open tray holds the step
// up. "Additional Info" shows when loading discs now makes sense.
#include <atomic>

#include "drive/drive_letters.h"
#include "drive/inventory.h"
#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/link.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

constexpr wchar_t kAdditionalInfo[] =
    L"If you know what you're doing, you can load your source discs now, but bear in mind the "
    L"next step shows you each drive's capabilities. The best drive for a given disc is the one "
    L"that minimally supports it: for instance a CD-ROM or CD-RW drive is better for a CD than a "
    L"higher spec drive such as a DVD-ROM drive.";
constexpr wchar_t kPropInfoFont[] = L"-ZQ-STFONT";
// Posted to the page so the link is replaced after its click has returned.
constexpr UINT WM_REPLACEINFOLINK = WM_APP + 20;

constexpr DWORD kSettleMs = 1000;
constexpr DWORD kSettleStepMs = 50;
constexpr DWORD kPollMs = 250;

struct PollingRecord {
    HWND page = nullptr;
    std::atomic<int> stop{0};
    HANDLE thread = nullptr;
};

PollingRecord* RecordOf(HWND page) {
    return reinterpret_cast<PollingRecord*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

bool AllTraysClear(uint32_t mask) {
    DriveLetterServices& letters = ActiveDriveLetters();
    for (int bit = 0; bit < 26; ++bit) {
        const char16_t letter = static_cast<char16_t>(u'A' + bit);
        if (!((mask >> bit) & 1u) || letters.DriveType(letter) != DriveKind::CdRom)
            continue;
        if (TrayOpenBlocks(letter) == TrayDecision::HoldsUp)
            return false;
    }
    return true;
}

// Waits until every tray that counts is closed, then (after at least one
// second on the page) presses Next, unless the page was left meanwhile.
DWORD WINAPI PollTrays(void* parameter) {
    auto* record = static_cast<PollingRecord*>(parameter);
    const uint32_t mask = ActiveDriveLetters().LogicalDrives();
    const DWORD start = GetTickCount();
    HWND frame = GetParent(record->page);
    for (;;) {
        if (AllTraysClear(mask)) {
            while (GetTickCount() - start < kSettleMs && !record->stop.load())
                Sleep(kSettleStepMs);
            if (Process().currentPage.load() == record->page && !record->stop.load()) {
                SendNotifyMessageW(frame, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(GetDlgItem(frame, IDC_NEXT)));
            }
            return 0;
        }
        Sleep(kPollMs);
        if (record->stop.load())
            return 0;
    }
}

void OnInit(HWND page) {
    RECT client{};
    GetClientRect(page, &client);
    HWND info = GetDlgItem(page, IDC_REMOVE_INFO_TEXT);
    const int left = ScaledX(6);
    const int top = ScaledY(130);
    MoveWindow(info, left, top, client.right - ScaledX(25) - left, ScaledY(220) - top, FALSE);
    SetWindowTextW(info, kAdditionalInfo);
    CreateLink(page, left, top - ScaledY(20), L"Additional Info", IDC_REMOVE_INFO_LINK);

    EjectAllOpticalDrives();

    auto* record = new PollingRecord;
    record->page = page;
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    record->thread = CreateThread(nullptr, 0, PollTrays, record, 0, nullptr);
}

// The link becomes plain underlined text and the explanation appears; it
// can be opened only once.
void ReplaceInfoLink(HWND page) {
    HWND link = GetDlgItem(page, IDC_REMOVE_INFO_LINK);
    if (!link || GetPropW(page, kPropInfoFont))
        return;
    RECT rect{};
    GetWindowRect(link, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t text[513] = {};
    GetWindowTextW(link, text, 512);

    LOGFONTW look{};
    GetObjectW(SmallBoldFont(GetParent(page)), sizeof look, &look);
    look.lfWeight = FW_NORMAL;
    look.lfUnderline = TRUE;
    HFONT font = CreateFontIndirectW(&look);
    SetPropW(page, kPropInfoFont, font);

    DestroyWindow(link);
    HWND label =
        CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, page,
                        reinterpret_cast<HMENU>(IDC_REMOVE_INFO_LINK), Process().instance, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(GetDlgItem(page, IDC_REMOVE_INFO_TEXT), SW_SHOW);
}

// The thread is always stopped and its handle closed, also when it has
// already moved the wizard on.
void OnDestroy(HWND page) {
    if (PollingRecord* record = RecordOf(page)) {
        if (record->thread) {
            record->stop.store(1);
            WaitForSingleObject(record->thread, INFINITE);
            CloseHandle(record->thread);
        }
        SetWindowLongPtrW(page, GWLP_USERDATA, 0);
        delete record;
    }
    if (HANDLE font = RemovePropW(page, kPropInfoFont))
        DeleteObject(font);
}

}  // namespace

INT_PTR CALLBACK RemoveDiscsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    auto handle = [&]() -> INT_PTR {
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_REMOVE_INFO_LINK && HIWORD(wParam) == 0 &&
                    reinterpret_cast<HWND>(lParam) == GetDlgItem(page, IDC_REMOVE_INFO_LINK))
                    PostMessageW(page, WM_REPLACEINFOLINK, 0, 0);
                return TRUE;
            case WM_REPLACEINFOLINK:
                ReplaceInfoLink(page);
                return TRUE;
            case WM_DESTROY:
                OnDestroy(page);
                return FALSE;
        }
        return FALSE;
    };
    return PageProcedure(page, message, wParam, lParam, kAnswerFillBackground, nullptr, OnInit,
                         handle);
}

}  // namespace vestrel::wizard
