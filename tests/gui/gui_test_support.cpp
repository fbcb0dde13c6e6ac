#include "tests/gui/gui_test_support.h"

#include <cstdlib>
#include <cstring>

namespace vestrel::gui {

std::wstring BuildProgram(const std::wstring& relativePath) {
    std::wstring self(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    self.resize(length);
    return self.substr(0, self.find_last_of(L"\\/") + 1) + relativePath;
}

std::wstring SourceFile(const std::string& relativePath) {
    return WindowsPath(std::string(VESTREL_SOURCE_DIR) + "/" + relativePath);
}

int RequestedDpi() {
    const char* dpi = std::getenv("VESTREL_GUI_DPI");
    return dpi ? std::atoi(dpi) : 0;
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
    const char* folder = std::getenv("VESTREL_GUI_SHOTS");
    if (!folder || !*folder)
        return true;
    std::wstring path =
        WindowsPath(folder) + L"\\" + name + L"-" + std::to_wstring(ScreenDpi()) + L".bmp";
    return SaveBmp(CaptureSettled(window), path);
}

bool ReadObjectCounts(DWORD processId, ObjectCounts& counts) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, ObjectCountsName(processId).c_str());
    if (!mapping)
        return false;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof counts);
    if (view) {
        std::memcpy(&counts, view, sizeof counts);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view != nullptr;
}

}  // namespace vestrel::gui
