// t4kVestrel-virtual.exe: the wizard on the simulator. The bay comes from
// the description file VESTREL_BAY names, else (unset or empty) the
// built-in bay with its sample discs (VESTREL_SAMPLES, else "samples"
// beside the program). The simulator's volume events reach the frame as
// the system's own WM_DEVICECHANGE volume notifications, sent on the
// user-interface thread.
//
// The GUI tests act at the trays as a person would: a WM_COPYDATA to the
// window of class "t4kVestrelSimulatorEvents" (a message-only window of the
// process) with dwData kTrayCommand carries one command in ASCII: "load D
// NAME" (opens D's tray, puts the bay's disc NAME in and closes it),
// "remove D" (opens the tray and takes the disc out), "detach D" (the drive
// is unplugged) or "attach D".
// The answer is 1 when the command was done.
//
// For the tests of the update check: it looks for another build only on
// the page VESTREL_UPDATE_PAGE names; web addresses are written to the file
// VESTREL_OPEN_LOG names instead of being opened; the process stays
// VESTREL_LINGER_MS milliseconds (at most 10 s) after its frame has ended,
// so that a test sees what it does once the frame is gone.
#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "drive/text.h"
#include "simulator/default_bay.h"
#include "simulator/simulator.h"
#include "wizard/back_end.h"
#include "wizard/frame_state.h"
#include "wizard/update_thread.h"
#include "wizard/web_address.h"

namespace vestrel::wizard {

namespace {

constexpr wchar_t kEventWindowClass[] = L"t4kVestrelSimulatorEvents";
// Posted from any thread: wParam = the VolumeEventKind, lParam = the letter.
constexpr UINT WM_SIMULATORVOLUME = WM_APP + 40;

constexpr DWORD kMostLingerMs = 10000;
constexpr ULONG_PTR kTrayCommand = 0x56534D43;  // "VSMC"

sim::Simulator* gBay = nullptr;
HWND gEventWindow = nullptr;
DWORD gLingerMs = 0;

std::filesystem::path ProgramFolder() {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::filesystem::path(std::wstring(path.data(), length)).parent_path();
}

// An environment variable's value; null when it is unset or empty.
const wchar_t* Setting(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value && *value ? value : nullptr;
}

std::filesystem::path SampleFolder() {
    if (const wchar_t* folder = Setting(L"VESTREL_SAMPLES"))
        return folder;
    return ProgramFolder() / L"samples";
}

// A test's command at the trays: a verb, a space and a drive letter, and
// for "load" a space and the disc's name. True when it was done.
bool RunTrayCommand(const std::string& command) {
    const size_t space = command.find(' ');
    if (!gBay || space == std::string::npos || space + 1 >= command.size())
        return false;
    const std::string verb = command.substr(0, space);
    const auto letter = static_cast<char16_t>(command[space + 1]);
    const std::string rest = command.substr(space + 2);
    if (verb == "load") {
        std::string error;
        std::unique_ptr<sim::Disc> disc =
            rest.size() > 1 && rest[0] == ' ' ? gBay->MakeDisc(rest.substr(1), error) : nullptr;
        return disc && gBay->LoadDisc(letter, std::move(disc));
    }
    if (!rest.empty())
        return false;
    if (verb == "remove")
        return gBay->OpenTray(letter) && gBay->RemoveDisc(letter) != nullptr;
    if (verb == "detach")
        return gBay->DetachDrive(letter);
    if (verb == "attach")
        return gBay->AttachDrive(letter);
    return false;
}

// The notification the system sends for a volume change, sent to the
// frame as the system would.
LRESULT CALLBACK EventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != kTrayCommand || !data->lpData || data->cbData > 256)
            return 0;
        return RunTrayCommand(std::string(static_cast<const char*>(data->lpData), data->cbData));
    }
    if (message != WM_SIMULATORVOLUME)
        return DefWindowProcW(window, message, wParam, lParam);
    const auto kind = static_cast<VolumeEventKind>(wParam);
    const int bit = static_cast<int>(lParam) - 'A';
    HWND frame = LockedFrameHandle();
    if (!frame || bit < 0 || bit >= 26)
        return 0;
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << bit;
    const bool media =
        kind == VolumeEventKind::MediaArrival || kind == VolumeEventKind::MediaRemoval;
    volume.dbcv_flags = media ? DBTF_MEDIA : 0;
    const bool arrival =
        kind == VolumeEventKind::MediaArrival || kind == VolumeEventKind::DeviceArrival;
    SendMessageW(frame, WM_DEVICECHANGE, arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&volume));
    return 0;
}

// After every exit step: the operator stops, the drives go back to the
// platform and the bay's work files are removed.
void StopBay() {
    if (!gBay)
        return;
    gBay->StopOperator();
    gBay->Subscribe(nullptr);
    gBay->Uninstall();
    delete gBay;
    gBay = nullptr;
    if (gEventWindow)
        DestroyWindow(gEventWindow);
    gEventWindow = nullptr;
}

void TakeTestSettings() {
    SetUpdatePage(Setting(L"VESTREL_UPDATE_PAGE"));
    if (const wchar_t* log = Setting(L"VESTREL_OPEN_LOG"))
        LogWebAddressesTo(log);
    if (const wchar_t* linger = Setting(L"VESTREL_LINGER_MS"))
        gLingerMs =
            std::min<DWORD>(static_cast<DWORD>(std::wcstoul(linger, nullptr, 10)), kMostLingerMs);
}

void Refuse(const std::string& error) {
    const std::u16string text = FromUtf8("The simulated drives cannot be set up: " + error);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), kProductName, MB_ICONHAND);
}

}  // namespace

bool StartBackEnd(HINSTANCE instance) {
    TakeTestSettings();
    WNDCLASSW eventClass{};
    eventClass.lpfnWndProc = EventWindowProc;
    eventClass.hInstance = instance;
    eventClass.lpszClassName = kEventWindowClass;
    RegisterClassW(&eventClass);
    gEventWindow = CreateWindowExW(0, kEventWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);

    auto bay = std::make_unique<sim::Simulator>();
    std::string error;
    bool loaded = false;
    if (const wchar_t* file = Setting(L"VESTREL_BAY"))
        loaded = bay->LoadFile(std::filesystem::path(file), error);
    else
        loaded = bay->LoadText(sim::DefaultBayDescription(), SampleFolder(), error);
    if (!loaded || !gEventWindow) {
        Refuse(loaded ? std::string("no event window") : error);
        return false;
    }
    bay->Install();
    HWND events = gEventWindow;
    bay->Subscribe([events](const VolumeEvent& e) {
        PostMessageW(events, WM_SIMULATORVOLUME, static_cast<WPARAM>(e.kind), e.letter);
    });
    gBay = bay.release();
    std::atexit(StopBay);
    gBay->StartOperator();
    return true;
}

void FrameEnded() {
    Sleep(gLingerMs);
}

}  // namespace vestrel::wizard
