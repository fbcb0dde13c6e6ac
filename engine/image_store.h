// Where the image files go, making sure stale files are not overwritten
// without consent, and creating and removing their folders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drive/source_table.h"

namespace vestrel {

// Gives every track of every source an image path: first below the home
// folder while it has room (50 MiB kept free), then on the first fixed drive
// with room, in "X:\Temp\". True when every track got a path; tracks placed
// keep their paths either way.
bool PlanImageFiles(std::vector<SourceRecord>& sources);

// The text shown when PlanImageFiles fails.
inline constexpr char16_t kNotEnoughSpaceMessage[] =
    u"You don't have enough free space on your hard drive(s) to save the disc images.\r\n"
    u"Please, remove some source from the list, or free up some space, and then try again.";
inline constexpr char16_t kCannotOverwriteMessage[] =
    u"Cannot overwrite all the conflicting files.\r\n\r\nMaybe you don't have the required "
    u"permission to do that, or maybe one of the files (or all of them) is marked as read-only.";

// The person's side of ConfirmOverwrite: the "Overwrite files?" dialog and
// the message after a failed deletion.
class OverwritePrompt {
  public:
    virtual ~OverwritePrompt() = default;
    // Shows the list; true when the person (or the countdown) chose
    // Overwrite, false for Cancel or the close box.
    virtual bool AskOverwrite(const std::u16string& fileList) = 0;
    virtual void ShowMessage(const std::u16string& text) = 0;
};

// The planned paths that already exist, in source and track order.
std::vector<std::u16string> ExistingImageFiles(const std::vector<SourceRecord>& sources);

// True when no planned file exists any longer: none did, or the person
// agreed to overwrite and every one of them was deleted.
bool ConfirmOverwrite(const std::vector<SourceRecord>& sources, OverwritePrompt& prompt);

// The countdown on the dialog's Overwrite button: "Overwrite -- 10" when
// the dialog opens, one less each second, and a click of the button when
// it would reach 0.
class OverwriteCountdown {
  public:
    explicit OverwriteCountdown(uint32_t nowMs) : lastChange_(nowMs) {}
    std::u16string Caption() const;
    // Called by the dialog's timer; true once the button is to be clicked.
    bool Tick(uint32_t nowMs);
    bool Done() const { return count_ == 0; }

  private:
    int count_ = 10;
    uint32_t lastChange_;
};

// Creates every missing folder along the path, under the drive lock.
bool CreateImageFolders(std::u16string_view imagePath);
// Removes the folder that holds the file if it is empty; never a drive's
// root.
void RemoveImageFolder(std::u16string_view imagePath);
// Deletes every planned image file of the table and its folder when empty.
void DeleteImageFiles(const std::vector<SourceRecord>& sources);

}  // namespace vestrel
