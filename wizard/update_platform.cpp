#include "wizard/update_platform.h"

#include <urlmon.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "drive/drive_letters.h"
#include "platform/win32/win32_file.h"

namespace vestrel::wizard {

namespace {

// The module path's buffer; far too big for the thread's stack.
constexpr DWORD kModulePathCharacters = 524287;

std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

HANDLE OpenAlone(std::u16string_view path, DWORD disposition) {
    return CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Watches a download's progress and gives it up once it is larger or
// slower than the page can be. Lives on the downloading thread's stack for
// the one synchronous call, so its reference count is not kept.
class BoundedDownload : public IBindStatusCallback {
  public:
    BoundedDownload() : start_(GetTickCount()) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == IID_IUnknown || id == IID_IBindStatusCallback) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                         LPCWSTR) override {
        const uint64_t told = progressMax > progress ? progressMax : progress;
        if (told > update::kMaxPageBytes || GetTickCount() - start_ > update::kMaxDownloadMs) {
            aborted_ = true;
            return E_ABORT;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    bool Aborted() const { return aborted_; }

  private:
    DWORD start_;
    bool aborted_ = false;
};

}  // namespace

bool Win32UpdatePlatform::FrameAlive() {
    return IsWindow(frame_) != FALSE;
}

std::u16string Win32UpdatePlatform::AppDataFolder() {
    return PlatformDriveLetters().AppDataFolder();
}

void Win32UpdatePlatform::CreateFolder(std::u16string_view path) {
    CreateDirectoryW(Wide(path).c_str(), nullptr);
}

void Win32UpdatePlatform::RemoveFile(std::u16string_view path) {
    DeleteFileW(Wide(path).c_str());
}

bool Win32UpdatePlatform::Download(std::u16string_view address, std::u16string_view path) {
    const std::wstring url = Wide(address);
    DeleteUrlCacheEntryW(url.c_str());
    BoundedDownload bound;
    const HRESULT result = URLDownloadToFileW(nullptr, url.c_str(), Wide(path).c_str(), 0, &bound);
    return result == S_OK && !bound.Aborted();
}

bool Win32UpdatePlatform::OpensAlone(std::u16string_view path) {
    HANDLE file = OpenAlone(path, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::unique_ptr<File> Win32UpdatePlatform::OpenPage(std::u16string_view path) {
    HANDLE file = OpenAlone(path, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return FileFromHandle(file);
}

void Win32UpdatePlatform::Sleep(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

uint16_t Win32UpdatePlatform::OwnBuild() {
    std::vector<wchar_t> path(kModulePathCharacters, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kModulePathCharacters);
    if (length == 0 || length >= kModulePathCharacters)
        return 0;
    return ReadFileVersionFields(path.data()).fourth;
}

FileVersionFields ReadFileVersionFields(const wchar_t* path) {
    FileVersionFields fields;
    std::wstring file = path;
    const DWORD shortLength = GetShortPathNameW(path, nullptr, 0);
    if (shortLength > 0) {
        std::vector<wchar_t> shortPath(shortLength, L'\0');
        const DWORD got = GetShortPathNameW(path, shortPath.data(), shortLength);
        if (got > 0 && got < shortLength)
            file.assign(shortPath.data(), got);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return fields;
    std::vector<uint8_t> block(size);
    void* data = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", &data, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return fields;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(data);
    fields.major = HIWORD(info->dwFileVersionMS);
    fields.minor = LOWORD(info->dwFileVersionMS);
    fields.third = HIWORD(info->dwFileVersionLS);
    fields.fourth = LOWORD(info->dwFileVersionLS);
    return fields;
}

}  // namespace vestrel::wizard
