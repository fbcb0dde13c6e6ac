// Painting: the snapshot as background while and after installing, the
// publisher link, and the progress box.
#include "installer/installer_dlg.h"
#include "installer/installer_state.h"
#include "installer/texts.h"

namespace vestrel::installer {

namespace {

int LineHeight(const TEXTMETRICW& metrics) {
    return metrics.tmHeight + metrics.tmExternalLeading;
}

}  // namespace

void Ct4kInstallerDlg::OnPaint() {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(dialog_, &paint);
    RECT client;
    GetClientRect(dialog_, &client);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, client.right, client.bottom);
    const HGDIOBJ oldCanvas = SelectObject(dc, canvas);
    if (installing_)
        installationHasRun_ = true;
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if ((installing_ || installationHasRun_) && snapshot_) {
        HDC picture = CreateCompatibleDC(screen);
        const HGDIOBJ oldPicture = SelectObject(picture, snapshot_);
        BitBlt(dc, 0, 0, client.right, client.bottom, picture, 0, 0, SRCCOPY);
        SelectObject(picture, oldPicture);
        DeleteDC(picture);
    }
    if (installing_ || installationHasRun_) {
        PaintLink(dc, client, RGB(128, 128, 128));
        if (installing_)
            PaintProgressBox(dc, client);
    } else {
        PaintLink(dc, client, RGB(0, 0, 255));
    }
    BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldCanvas);
    DeleteObject(canvas);
    DeleteDC(dc);
    EndPaint(dialog_, &paint);
}

// Leaves the system font selected, which the progress box measures.
void Ct4kInstallerDlg::PaintLink(HDC dc, const RECT& client, COLORREF colour) {
    const HGDIOBJ oldFont = SelectObject(dc, linkFont_);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    const int length = static_cast<int>(wcslen(kPublisherDomain));
    SIZE extent{};
    GetTextExtentPoint32W(dc, kPublisherDomain, length, &extent);
    const int left = 10 * metrics.tmAveCharWidth / 4;
    const int bottom = client.bottom - LineHeight(metrics);
    linkArea_ = {left, bottom - extent.cy, left + extent.cx, bottom};
    SetTextColor(dc, colour);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, OPAQUE);
    TextOutW(dc, linkArea_.left, linkArea_.top, kPublisherDomain, length);
    SelectObject(dc, oldFont);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
}

void Ct4kInstallerDlg::PaintProgressBox(HDC dc, const RECT& client) {
    if (GetForegroundWindow() != dialog_)
        return;
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    const int c = metrics.tmAveCharWidth;
    const int l = LineHeight(metrics);
    const int w = client.right;
    const int h = client.bottom;
    RECT box{30 * c / 4, (h - 35 * l / 8) / 2, w - 30 * c / 4, (h + 35 * l / 8) / 2};
    OffsetRect(&box, 0, -6 * l / 8);
    box.left += 5 * c / 4;
    box.right -= 5 * c / 4;
    box.top += 5 * l / 8;
    box.bottom -= 5 * l / 8;
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
    InflateRect(&box, -3 * c / 4, -3 * l / 8);
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
    std::wstring status;
    {
        StateLock lock;
        status = State().statusText;
    }
    const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, status.c_str(), static_cast<int>(status.size()), &box,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

}  // namespace vestrel::installer
