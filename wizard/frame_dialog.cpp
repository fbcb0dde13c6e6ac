// The frame's dialog procedure: setting up and tearing down the frame,
// the buttons, the background rule, and the answers to system events.
#include <windows.h>

#include <dbt.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "drive/volume_notifications.h"
#include "resources/publisher.h"
#include "resources/resource_ids.h"
#include "ui/button_images.h"
#include "ui/dpi.h"
#include "ui/link.h"
#include "ui/messages.h"
#include "wizard/about_box.h"
#include "wizard/background.h"
#include "wizard/drive_rows.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/navigation.h"
#include "wizard/page_table.h"
#include "wizard/pages.h"
#include "wizard/side_panel.h"
#include "wizard/step_list_layout.h"
#include "wizard/version_info.h"
#include "wizard/web_address.h"

namespace vestrel::wizard {

namespace {

constexpr wchar_t kInstanceMappingName[] = L"t4k Vestrel\x2122";
constexpr DWORD kMappingBytes = 4;

INT_PTR Answer(HWND frame, LONG_PTR result) {
    SetWindowLongPtrW(frame, DWLP_MSGRESULT, result);
    return TRUE;
}

enum class Instance { First, Other, Unprotected };

// Raises the frame another instance keeps in the mapping. It is 0 while
// that instance is still starting: then there is nothing to raise.
void ActivateOtherInstance(HWND frame, HANDLE mapping) {
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kMappingBytes);
    if (!view)
        return;
    const int32_t value = *static_cast<const volatile int32_t*>(view);
    HWND otherFrame = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    SendMessageW(frame, WM_ACTIVATEINSTANCE, reinterpret_cast<WPARAM>(otherFrame), 0);
    UnmapViewOfFile(view);
}

// The 4-byte named mapping holds the running frame's handle (handles fit
// in 32 bits and are sign-extended back). Whoever creates it is the first
// instance; creating it in one call decides that even for two instances
// started at the same moment.
Instance ClaimSingleInstance(HWND frame) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kMappingBytes, kInstanceMappingName);
    if (!mapping)
        return Instance::Unprotected;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateOtherInstance(frame, mapping);
        CloseHandle(mapping);
        return Instance::Other;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kMappingBytes);
    if (!view) {
        CloseHandle(mapping);
        return Instance::Unprotected;
    }
    *static_cast<volatile int32_t*>(view) = static_cast<int32_t>(reinterpret_cast<intptr_t>(frame));
    SetPropW(frame, kPropInstanceMapping, mapping);
    SetPropW(frame, kPropInstanceView, view);
    return Instance::First;
}

void GiveButtonsIcons(HWND frame) {
    SetButtonIcons(GetDlgItem(frame, IDC_EXIT), IDI_EXIT, 0, -1);
    SetButtonIcons(GetDlgItem(frame, IDC_NEXT), IDI_NEXT, IDI_NEXT_DISABLED, 1);
    SetButtonIcons(GetDlgItem(frame, IDC_BACK), IDI_BACK, IDI_BACK_DISABLED, -1);
    SetButtonIcons(GetDlgItem(frame, IDC_ABOUT), IDI_INFO, 0, 0);
}

void PlaceWebLink(HWND frame) {
    HWND link = CreateLink(frame, 0, 0, VESTREL_WEB_ADDRESS, IDC_WEB_LINK);
    if (!link)
        return;
    RECT about{};
    GetWindowRect(GetDlgItem(frame, IDC_ABOUT), &about);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&about), 2);
    RECT linkRect{};
    GetWindowRect(link, &linkRect);
    const Point at = BesideButton(about.right, about.top, about.bottom - about.top,
                                  linkRect.bottom - linkRect.top, ScaledX(3));
    SetWindowPos(link, HWND_BOTTOM, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CreateFonts(HWND frame) {
    HDC canvas = static_cast<HDC>(GetPropW(frame, kPropStepListDC));
    HFONT header = CreateTahomaFont(canvas, 14, FW_BOLD);
    SendDlgItemMessageW(frame, IDC_HEADER, WM_SETFONT, reinterpret_cast<WPARAM>(header), TRUE);
    SetPropW(frame, kPropHeaderFont, header);
    SetPropW(frame, kPropSmallBoldFont, CreateTahomaFont(canvas, 8, FW_BOLD));
}

std::u16string_view AsText(const std::wstring& text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

void AppendVersionToCaption(HWND frame) {
    std::wstring caption(1025, L'\0');
    caption.resize(GetWindowTextW(frame, caption.data(), 1024));
    const VersionRecord& version = ProgramVersion();
    const std::u16string ending = CaptionVersion(version.fileNumbers, AsText(version.specialBuild));
    caption.append(reinterpret_cast<const wchar_t*>(ending.data()), ending.size());
    SetWindowTextW(frame, caption.c_str());
}

INT_PTR OnInitDialog(HWND frame) {
    switch (ClaimSingleInstance(frame)) {
        case Instance::Other:
            EndDialog(frame, 1);
            return FALSE;
        case Instance::First:
        case Instance::Unprotected:
            break;
    }
    if (auto icon = static_cast<HICON>(LoadImageW(Process().instance,
                                                  MAKEINTRESOURCEW(IDI_APPLICATION_ICON),
                                                  IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED)))
        SendMessageW(frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    GiveButtonsIcons(frame);
    PlaceWebLink(frame);
    if (!CreateStepListCanvas(frame)) {
        ShowMessage(frame, L"Error occurred while creating a memory DC.", MB_ICONHAND);
        EndDialog(frame, 2);
        return FALSE;
    }
    CreateFonts(frame);
    SubclassSidePanel(frame);
    GoToPage(frame, kWelcomePage, nullptr);
    AppendVersionToCaption(frame);
    return TRUE;
}

void OnDestroy(HWND frame) {
    if (HWND page = Process().currentPage.exchange(nullptr))
        DestroyWindow(page);
    RestoreSidePanel(frame);
    for (const wchar_t* name : {kPropSmallBoldFont, kPropHeaderFont}) {
        if (HANDLE font = GetPropW(frame, name))
            DeleteObject(font);
    }
    for (int id : {IDC_EXIT, IDC_NEXT, IDC_BACK, IDC_ABOUT})
        RemoveButtonIcons(GetDlgItem(frame, id));
    DeleteStepListCanvas(frame);
    if (void* view = GetPropW(frame, kPropInstanceView))
        UnmapViewOfFile(view);
    if (HANDLE mapping = GetPropW(frame, kPropInstanceMapping))
        CloseHandle(mapping);
    for (const wchar_t* name :
         {kPropSidePanelProc, kPropPageIndex, kPropSmallBoldFont, kPropHeaderFont, kPropStepListDC,
          kPropStepListOldBitmap, kPropInstanceMapping, kPropInstanceView, kPropCopyOutcome})
        RemovePropW(frame, name);
}

void OnCommand(HWND frame, WPARAM wParam) {
    if (HIWORD(wParam) != 0)
        return;
    const int id = LOWORD(wParam);
    WizardProcess& p = Process();
    if (p.driveListBusy > 0 && (id == IDC_NEXT || id == IDC_BACK || id == IDC_EXIT)) {
        p.deferredCommand = id;
        return;
    }
    switch (id) {
        case IDC_NEXT:
            OnNext(frame);
            break;
        case IDC_BACK:
            OnBack(frame);
            break;
        case IDC_EXIT:
            OnExit(frame);
            break;
        case IDC_ABOUT:
            ShowAboutBox(frame);
            break;
        case IDC_WEB_LINK:
            OpenWebAddress(VESTREL_WEB_ADDRESS, SW_SHOW);
            break;
    }
}

void ActivateInstance(HWND other) {
    if (!IsWindow(other))
        return;
    if (IsIconic(other))
        PostMessageW(other, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(other);
    FLASHWINFO flash{sizeof flash, other, FLASHW_ALL, 3, 0};
    FlashWindowEx(&flash);
}

INT_PTR OnDeviceChange(HWND frame, WPARAM event, LPARAM data) {
    if (PageIndex(frame) != kSelectDrivesPage || !data)
        return FALSE;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_devicetype != DBT_DEVTYP_VOLUME ||
        header->dbch_size < sizeof(DEV_BROADCAST_VOLUME))
        return FALSE;
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
    const std::optional<VolumeEvent> change =
        VolumeEventFromNotification(static_cast<uint32_t>(event), volume->dbcv_devicetype,
                                    volume->dbcv_unitmask, volume->dbcv_flags);
    WizardProcess& p = Process();
    if (change && p.holdVolumeEvents) {
        p.heldVolumeEvents.push_back(*change);
    } else if (change) {
        CurrentDriveList target;
        HandleVolumeEvent(*change, target);
    }
    return Answer(frame, TRUE);
}

// Logging off and suspending are refused while discs are written, and the
// frame shows itself.
INT_PTR RefuseWhileWriting(HWND frame, LONG_PTR refusal) {
    PostMessageW(frame, WM_ACTIVATEINSTANCE, reinterpret_cast<WPARAM>(frame), 0);
    return Answer(frame, refusal);
}

INT_PTR HandleFrameMessage(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    const WizardProcess& p = Process();
    if (message != 0 && message == p.autoPlayMessage)
        return Answer(frame, 1);
    if (message == WM_FILLBACKGROUND) {
        CopyBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return Answer(frame, 0);
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(frame);
        case WM_DESTROY:
            OnDestroy(frame);
            return FALSE;
        case WM_COMMAND:
            OnCommand(frame, wParam);
            return TRUE;
        case WM_CLOSE:
            SendMessageW(frame, WM_COMMAND, MAKEWPARAM(IDC_EXIT, 0),
                         reinterpret_cast<LPARAM>(GetDlgItem(frame, IDC_EXIT)));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            SendMessageW(frame, WM_FILLBACKGROUND, wParam, lParam);
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        case WM_ACTIVATEINSTANCE:
            ActivateInstance(reinterpret_cast<HWND>(wParam));
            return Answer(frame, 0);
        case WM_QUERYENDSESSION:
            if (RefusesEndOfSession(PageIndex(frame)))
                return RefuseWhileWriting(frame, FALSE);
            return FALSE;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMQUERYSUSPEND && RefusesEndOfSession(PageIndex(frame)))
                return RefuseWhileWriting(frame, BROADCAST_QUERY_DENY);
            return FALSE;
        case WM_DEVICECHANGE:
            return OnDeviceChange(frame, wParam, lParam);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK FrameDialogProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&] { return HandleFrameMessage(frame, message, wParam, lParam); });
}

}  // namespace vestrel::wizard
