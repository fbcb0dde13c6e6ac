// Live GDI and USER objects of a test build, for leak checks from outside.
// Wine answers GetGuiResources with 0, so a program linked with
// object_counting.cpp counts the objects its own calls create and delete
// and publishes the counts in shared memory named after its process id.
#pragma once

#include <windows.h>

#include <string>

namespace vestrel {

enum CountedKind {
    CountedFonts,
    CountedDeviceContexts,  // memory and device DCs, until deleted
    CountedWindowDCs,       // borrowed from a window (GetDC, BeginPaint) until given back
    CountedBitmaps,
    CountedBrushes,
    CountedPens,
    CountedRegions,
    CountedIcons,  // icons and cursors that are not shared
    CountedImageLists,
    CountedKindCount
};

struct ObjectCounts {
    volatile LONG live[CountedKindCount];
    volatile LONG calls;  // creates and deletes seen: shows the counting runs
};

inline std::wstring ObjectCountsName(DWORD processId) {
    return L"t4kVestrel-object-counts-" + std::to_wstring(processId);
}

inline const wchar_t* CountedKindName(int kind) {
    static const wchar_t* const names[CountedKindCount] = {
        L"fonts", L"device contexts", L"window DCs", L"bitmaps",    L"brushes",
        L"pens",  L"regions",         L"icons",      L"image lists"};
    return kind >= 0 && kind < CountedKindCount ? names[kind] : L"?";
}

}  // namespace vestrel
