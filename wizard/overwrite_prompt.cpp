// The frame's side of ConfirmOverwrite: the "Overwrite files?" dialog over
// the frame and a message box after a failed deletion.
#include <string>

#include "drive/source_table.h"
#include "engine/image_store.h"
#include "resources/resource_ids.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/overwrite_dialog.h"

namespace vestrel::wizard {

namespace {

class FramePrompt : public OverwritePrompt {
  public:
    explicit FramePrompt(HWND frame) : frame_(frame) {}

    bool AskOverwrite(const std::u16string& fileList) override {
        return ShowOverwriteDialog(frame_, Wide(fileList.c_str())) == IDC_OVERWRITE;
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
