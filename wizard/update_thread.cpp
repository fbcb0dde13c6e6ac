#include "wizard/update_thread.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "resources/publisher.h"
#include "update/update_check.h"
#include "wizard/frame_state.h"
#include "wizard/update_platform.h"

namespace vestrel::wizard {

namespace {

constexpr DWORD kFrameLookMs = 500;
constexpr size_t kTextCharacters = 2048;

// Plain buffers, so that nothing of the check is destroyed at exit while
// the thread may still run.
wchar_t gPageAddress[kTextCharacters] = VESTREL_WEB_ROOT L"index.html?req=d0";
wchar_t gDownloadAddress[kTextCharacters];
wchar_t gVersionText[kTextCharacters];
// Set once the two texts are written; the update message hands them over.
std::atomic<bool> gFound{false};

void CopyText(wchar_t* to, const std::u16string& text) {
    const size_t length = std::min(text.size(), kTextCharacters - 1);
    for (size_t i = 0; i < length; ++i)
        to[i] = static_cast<wchar_t>(text[i]);
    to[length] = L'\0';
}

// Looks for the frame every half second for as long as the process lives.
HWND WaitForFrame() {
    for (;;) {
        HWND frame = LockedFrameHandle();
        if (frame && IsWindow(frame))
            return frame;
        Sleep(kFrameLookMs);
    }
}

}  // namespace

void SetUpdatePage(const wchar_t* address) {
    lstrcpynW(gPageAddress, address ? address : L"", static_cast<int>(kTextCharacters));
}

bool TakeFoundUpdate(FoundUpdate& found) {
    if (!gFound.load(std::memory_order_acquire))
        return false;
    found = {gDownloadAddress, gVersionText};
    return true;
}

DWORD WINAPI UpdateCheckThread(void*) {
    try {
        if (gPageAddress[0] == L'\0')
            return 0;
        const HWND frame = WaitForFrame();
        // The web download is built on COM: the thread has its own apartment.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Win32UpdatePlatform platform(frame);
        const std::u16string page(reinterpret_cast<const char16_t*>(gPageAddress));
        const update::CheckResult result = update::RunUpdateCheck(platform, page);
        if (result.end != update::CheckEnd::UpdateFound || !IsWindow(frame))
            return 0;
        CopyText(gDownloadAddress, result.offer.downloadAddress);
        CopyText(gVersionText, result.offer.versionText);
        gFound.store(true, std::memory_order_release);
        PostMessageW(frame, Process().updateMessage, 0, 0);
    } catch (...) {
    }
    return 0;
}

}  // namespace vestrel::wizard
