// "Overwrite files?" (dialog 2601): the image files left over from an
// earlier run, and whether to overwrite them.
#include <string>

#include "drive/source_table.h"
#include "engine/image_store.h"
#include "resources/resource_ids.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> INT_PTR {
        switch (message) {
            case WM_INITDIALOG:
                SetDlgItemTextW(dialog, IDC_OVERWRITE_LIST, reinterpret_cast<wchar_t*>(lParam));
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_OVERWRITE || LOWORD(wParam) == IDC_OVERWRITE_CANCEL)
                    EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            case WM_CLOSE:
                EndDialog(dialog, IDC_OVERWRITE_CANCEL);
                return TRUE;
        }
        return FALSE;
    });
}

class FramePrompt : public OverwritePrompt {
  public:
    explicit FramePrompt(HWND frame) : frame_(frame) {}

    bool AskOverwrite(const std::u16string& fileList) override {
        std::wstring list(reinterpret_cast<const wchar_t*>(fileList.c_str()), fileList.size());
        return DialogBoxParamW(Process().instance, MAKEINTRESOURCEW(IDD_OVERWRITE), frame_,
                               OverwriteDialogProc,
                               reinterpret_cast<LPARAM>(list.c_str())) == IDC_OVERWRITE;
    }

    void ShowMessage(const std::u16string& text) override {
        wizard::ShowMessage(frame_, Wide(text.c_str()), MB_ICONEXCLAMATION);
    }

  private:
    HWND frame_;
};

}  // namespace

bool ConfirmImageOverwrite(HWND frame) {
    FramePrompt prompt(frame);
    return ConfirmOverwrite(SourceTable(), prompt);
}

}  // namespace vestrel::wizard
