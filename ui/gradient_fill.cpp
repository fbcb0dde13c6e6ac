#include "ui/gradient_fill.h"

#include <cstdlib>

#include "ui/gdi.h"

namespace vestrel {

namespace {

HBITMAP cacheBitmap = nullptr;
uint32_t* cachePixels = nullptr;
CacheSize cacheSize;

bool EnsureCache(int width, int height) {
    if (cacheBitmap && CacheFits(cacheSize, width, height))
        return true;
    const CacheSize grown = GrownCacheSize(cacheSize, width, height);
    DeleteGradientCache();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = grown.width;
    info.bmiHeader.biHeight = -grown.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    cacheBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!cacheBitmap || !bits) {
        DeleteGradientCache();
        return false;
    }
    cachePixels = static_cast<uint32_t*>(bits);
    cacheSize = grown;
    return true;
}

}  // namespace

void InitGradientFill() {
    FillDitherTable([] { return std::rand(); });
    DeleteGradientCache();
}

void DeleteGradientCache() {
    if (cacheBitmap)
        DeleteObject(cacheBitmap);
    cacheBitmap = nullptr;
    cachePixels = nullptr;
    cacheSize = {};
}

int FillGradient(HDC dc, const RECT& rect, Color16 left, Color16 right) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!GradientSizeAccepted(width, height) || !EnsureCache(width, height))
        return 1;
    GdiFlush();  // the DIB's memory is written directly
    RenderGradient(cachePixels, width, height, cacheSize.width, left, right, DitherTable());
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return 1;
    {
        ScopedSelect select(memory, cacheBitmap);
        BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
    return 1;
}

}  // namespace vestrel
