// Counts the GDI and USER objects the program creates and deletes, for the
// leak checks of the GUI tests. Linked only into test builds: at start-up
// it points the program's import table entries for the create and delete
// calls at counting wrappers, so the wizard's own code stays unchanged.
#include "wizard/object_counting.h"

#include <commctrl.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace vestrel {
namespace {

std::mutex lock;
std::unordered_map<const void*, CountedKind> liveObjects;
ObjectCounts* shared = nullptr;

void Publish(CountedKind kind, LONG change) {
    if (shared) {
        InterlockedExchangeAdd(&shared->live[kind], change);
        InterlockedIncrement(&shared->calls);
    }
}

void Track(const void* handle, CountedKind kind) {
    if (!handle)
        return;
    std::lock_guard<std::mutex> guard(lock);
    auto [it, added] = liveObjects.try_emplace(handle, kind);
    if (!added) {
        // A handle value reused after a release this layer did not see.
        Publish(it->second, -1);
        it->second = kind;
    }
    Publish(kind, +1);
}

void Untrack(const void* handle) {
    if (!handle)
        return;
    std::lock_guard<std::mutex> guard(lock);
    auto it = liveObjects.find(handle);
    if (it == liveObjects.end())
        return;  // a stock or shared object, or one made before counting began
    Publish(it->second, -1);
    liveObjects.erase(it);
}

// A window's DC handle goes back to the system's cache when the window is
// destroyed, and the same value comes out again: borrowed DCs are counted
// as a balance of gets and releases, not by handle.
HDC Borrowed(HDC dc) {
    if (dc)
        Publish(CountedWindowDCs, +1);
    return dc;
}

void GivenBack() {
    Publish(CountedWindowDCs, -1);
}

CountedKind ImageKind(UINT type) {
    return type == IMAGE_BITMAP ? CountedBitmaps : CountedIcons;
}

// The real functions, filled in when the import table is patched.
#define REAL(name) decltype(&::name) real##name = nullptr
REAL(CreateFontW);
REAL(CreateFontIndirectW);
REAL(CreateCompatibleDC);
REAL(CreateDCW);
REAL(DeleteDC);
REAL(CreateCompatibleBitmap);
REAL(CreateBitmap);
REAL(CreateDIBSection);
REAL(CreateSolidBrush);
REAL(CreateBrushIndirect);
REAL(CreatePatternBrush);
REAL(CreatePen);
REAL(CreateRectRgn);
REAL(CreateRectRgnIndirect);
REAL(CreateRoundRectRgn);
REAL(DeleteObject);
REAL(GetDC);
REAL(GetDCEx);
REAL(GetWindowDC);
REAL(ReleaseDC);
REAL(BeginPaint);
REAL(EndPaint);
REAL(LoadImageW);
REAL(CopyImage);
REAL(CopyIcon);
REAL(CreateIconIndirect);
REAL(CreateIconFromResourceEx);
REAL(DestroyIcon);
REAL(DestroyCursor);
REAL(LoadIconWithScaleDown);
REAL(LoadIconMetric);
REAL(ImageList_Create);
REAL(ImageList_Duplicate);
REAL(ImageList_Destroy);
#undef REAL

template <typename Handle>
Handle Made(Handle handle, CountedKind kind) {
    Track(handle, kind);
    return handle;
}

HFONT WINAPI CountedCreateFontW(int height, int width, int escapement, int orientation, int weight,
                                DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                                DWORD precision, DWORD clipPrecision, DWORD quality,
                                DWORD pitchAndFamily, LPCWSTR face) {
    return Made(realCreateFontW(height, width, escapement, orientation, weight, italic, underline,
                                strikeOut, charSet, precision, clipPrecision, quality,
                                pitchAndFamily, face),
                CountedFonts);
}
HFONT WINAPI CountedCreateFontIndirectW(const LOGFONTW* font) {
    return Made(realCreateFontIndirectW(font), CountedFonts);
}
HDC WINAPI CountedCreateCompatibleDC(HDC dc) {
    return Made(realCreateCompatibleDC(dc), CountedDeviceContexts);
}
HDC WINAPI CountedCreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* mode) {
    return Made(realCreateDCW(driver, device, port, mode), CountedDeviceContexts);
}
BOOL WINAPI CountedDeleteDC(HDC dc) {
    Untrack(dc);
    return realDeleteDC(dc);
}
HBITMAP WINAPI CountedCreateCompatibleBitmap(HDC dc, int width, int height) {
    return Made(realCreateCompatibleBitmap(dc, width, height), CountedBitmaps);
}
HBITMAP WINAPI CountedCreateBitmap(int width, int height, UINT planes, UINT bits,
                                   const void* data) {
    return Made(realCreateBitmap(width, height, planes, bits, data), CountedBitmaps);
}
HBITMAP WINAPI CountedCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                       HANDLE section, DWORD offset) {
    return Made(realCreateDIBSection(dc, info, usage, bits, section, offset), CountedBitmaps);
}
HBRUSH WINAPI CountedCreateSolidBrush(COLORREF colour) {
    return Made(realCreateSolidBrush(colour), CountedBrushes);
}
HBRUSH WINAPI CountedCreateBrushIndirect(const LOGBRUSH* brush) {
    return Made(realCreateBrushIndirect(brush), CountedBrushes);
}
HBRUSH WINAPI CountedCreatePatternBrush(HBITMAP bitmap) {
    return Made(realCreatePatternBrush(bitmap), CountedBrushes);
}
HPEN WINAPI CountedCreatePen(int style, int width, COLORREF colour) {
    return Made(realCreatePen(style, width, colour), CountedPens);
}
HRGN WINAPI CountedCreateRectRgn(int left, int top, int right, int bottom) {
    return Made(realCreateRectRgn(left, top, right, bottom), CountedRegions);
}
HRGN WINAPI CountedCreateRectRgnIndirect(const RECT* rect) {
    return Made(realCreateRectRgnIndirect(rect), CountedRegions);
}
HRGN WINAPI CountedCreateRoundRectRgn(int left, int top, int right, int bottom, int width,
                                      int height) {
    return Made(realCreateRoundRectRgn(left, top, right, bottom, width, height), CountedRegions);
}
BOOL WINAPI CountedDeleteObject(HGDIOBJ object) {
    Untrack(object);
    return realDeleteObject(object);
}
HDC WINAPI CountedGetDC(HWND window) {
    return Borrowed(realGetDC(window));
}
HDC WINAPI CountedGetDCEx(HWND window, HRGN clip, DWORD flags) {
    return Borrowed(realGetDCEx(window, clip, flags));
}
HDC WINAPI CountedGetWindowDC(HWND window) {
    return Borrowed(realGetWindowDC(window));
}
int WINAPI CountedReleaseDC(HWND window, HDC dc) {
    const int released = realReleaseDC(window, dc);
    if (released)
        GivenBack();
    return released;
}
HDC WINAPI CountedBeginPaint(HWND window, PAINTSTRUCT* paint) {
    return Borrowed(realBeginPaint(window, paint));
}
BOOL WINAPI CountedEndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc)
        GivenBack();
    return realEndPaint(window, paint);
}
HANDLE WINAPI CountedLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height,
                                UINT flags) {
    HANDLE image = realLoadImageW(instance, name, type, width, height, flags);
    // Shared images belong to the system and are never destroyed.
    return (flags & LR_SHARED) ? image : Made(image, ImageKind(type));
}
HANDLE WINAPI CountedCopyImage(HANDLE image, UINT type, int width, int height, UINT flags) {
    HANDLE copy = realCopyImage(image, type, width, height, flags);
    if (copy && (flags & LR_COPYDELETEORG))
        Untrack(image);
    return Made(copy, ImageKind(type));
}
HICON WINAPI CountedCopyIcon(HICON icon) {
    return Made(realCopyIcon(icon), CountedIcons);
}
HICON WINAPI CountedCreateIconIndirect(ICONINFO* info) {
    return Made(realCreateIconIndirect(info), CountedIcons);
}
HICON WINAPI CountedCreateIconFromResourceEx(BYTE* bits, DWORD size, BOOL icon, DWORD version,
                                             int width, int height, UINT flags) {
    HICON made = realCreateIconFromResourceEx(bits, size, icon, version, width, height, flags);
    return (flags & LR_SHARED) ? made : Made(made, CountedIcons);
}
BOOL WINAPI CountedDestroyIcon(HICON icon) {
    Untrack(icon);
    return realDestroyIcon(icon);
}
BOOL WINAPI CountedDestroyCursor(HCURSOR cursor) {
    Untrack(cursor);
    return realDestroyCursor(cursor);
}
HRESULT WINAPI CountedLoadIconWithScaleDown(HINSTANCE instance, PCWSTR name, int width, int height,
                                            HICON* icon) {
    HRESULT result = realLoadIconWithScaleDown(instance, name, width, height, icon);
    if (SUCCEEDED(result) && icon)
        Track(*icon, CountedIcons);
    return result;
}
HRESULT WINAPI CountedLoadIconMetric(HINSTANCE instance, PCWSTR name, int metric, HICON* icon) {
    HRESULT result = realLoadIconMetric(instance, name, metric, icon);
    if (SUCCEEDED(result) && icon)
        Track(*icon, CountedIcons);
    return result;
}
HIMAGELIST WINAPI CountedImageList_Create(int width, int height, UINT flags, int initial,
                                          int grow) {
    return Made(realImageList_Create(width, height, flags, initial, grow), CountedImageLists);
}
HIMAGELIST WINAPI CountedImageList_Duplicate(HIMAGELIST list) {
    return Made(realImageList_Duplicate(list), CountedImageLists);
}
BOOL WINAPI CountedImageList_Destroy(HIMAGELIST list) {
    Untrack(list);
    return realImageList_Destroy(list);
}

struct Hook {
    const char* name;
    void* wrapper;
    void** real;
};

#define HOOK(name) \
    { #name, reinterpret_cast < void*>(&Counted##name), reinterpret_cast < void**>(&real##name) }
const Hook hooks[] = {
    HOOK(CreateFontW),
    HOOK(CreateFontIndirectW),
    HOOK(CreateCompatibleDC),
    HOOK(CreateDCW),
    HOOK(DeleteDC),
    HOOK(CreateCompatibleBitmap),
    HOOK(CreateBitmap),
    HOOK(CreateDIBSection),
    HOOK(CreateSolidBrush),
    HOOK(CreateBrushIndirect),
    HOOK(CreatePatternBrush),
    HOOK(CreatePen),
    HOOK(CreateRectRgn),
    HOOK(CreateRectRgnIndirect),
    HOOK(CreateRoundRectRgn),
    HOOK(DeleteObject),
    HOOK(GetDC),
    HOOK(GetDCEx),
    HOOK(GetWindowDC),
    HOOK(ReleaseDC),
    HOOK(BeginPaint),
    HOOK(EndPaint),
    HOOK(LoadImageW),
    HOOK(CopyImage),
    HOOK(CopyIcon),
    HOOK(CreateIconIndirect),
    HOOK(CreateIconFromResourceEx),
    HOOK(DestroyIcon),
    HOOK(DestroyCursor),
    HOOK(LoadIconWithScaleDown),
    HOOK(LoadIconMetric),
    HOOK(ImageList_Create),
    HOOK(ImageList_Duplicate),
    HOOK(ImageList_Destroy),
};
#undef HOOK

void PatchSlot(IMAGE_THUNK_DATA* slot, const Hook& hook) {
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
        return;
    *hook.real = reinterpret_cast<void*>(slot->u1.Function);
    slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook.wrapper);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// Points every import of the program that has a wrapper at the wrapper.
void PatchImports(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name; ++library) {
        DWORD namesAt =
            library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Hook& hook : hooks) {
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), hook.name) == 0)
                    PatchSlot(slots, hook);
            }
        }
    }
}

struct CountingStart {
    CountingStart() {
        std::wstring name = ObjectCountsName(GetCurrentProcessId());
        HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(ObjectCounts), name.c_str());
        if (mapping) {
            // Kept for the life of the process, so the counts can be read.
            shared = static_cast<ObjectCounts*>(
                MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ObjectCounts)));
        }
        PatchImports(GetModuleHandleW(nullptr));
    }
} start;

}  // namespace
}  // namespace vestrel
