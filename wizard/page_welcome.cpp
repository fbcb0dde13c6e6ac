// Welcome! (dialog 2201): what the program does, the warning, and the list
// of supported disc types behind the "here" link.
#include <string>

#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/link.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

// The line under the introduction that leads to the supported types.
constexpr InlineLink kTypesLine{L"To see a list of all the supported disc types, click ",
                                IDC_WELCOME_TEXT, 20, IDC_WELCOME_LINK, CLR_INVALID};

// The text after the product name in the supported-types message.
constexpr wchar_t kSupportedTypes[] =
    L" works with the following types of optical disc.  \r\n\r\n"
    L" \x2022 CDs/ Compact Disc ///  \r\n"
    L"    CD-ROM, CD-R and CD-RW.  \r\n\r\n"
    L" \x2022 DVDs/ Digital Versatile(Video) Disc ///  \r\n"
    L"    DVD-ROM, DVD-R, DVD-RW,  \r\n"
    L"    DVD-RAM, DVD+R, DVD+RW, DVD-R Dual Layer,  \r\n"
    L"    DVD-RW Dual Layer, DVD+R Dual Layer, and DVD+RW Dual Layer.  \r\n\r\n"
    L" \x2022 High-Definition DVDs /// \r\n"
    L"    HD DVD-ROM, HD DVD-R, HD DVD-RW, and  \r\n"
    L"    HD-DVD-RAM.  \r\n\r\n"
    L" \x2022 Blu-Ray Discs ///  \r\n"
    L"    BD-ROM, BD-R and BD-RE.   \r\n\r\n";

void OnInit(HWND page) {
    SendDlgItemMessageW(page, IDC_WELCOME_WARNING, WM_SETFONT,
                        reinterpret_cast<WPARAM>(SmallBoldFont(GetParent(page))), TRUE);
    CreateInlineLink(page, kTypesLine);
}

void ShowSupportedTypes(HWND page) {
    std::wstring text = kProductName;
    text += kSupportedTypes;
    text += L"\r\nClick OK to close this dialog.";
    ShowMessage(GetParent(page), text.c_str(), MB_ICONINFORMATION);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    auto handle = [&]() -> INT_PTR {
        return HandleInlineLink(page, message, wParam, kTypesLine, ShowSupportedTypes);
    };
    return PageProcedure(page, message, wParam, lParam, kAnswerFillBackground, nullptr, OnInit,
                         handle);
}

}  // namespace vestrel::wizard
