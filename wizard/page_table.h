// The wizard's six steps: the title shown in the side panel and the
// header, the page dialog, and the number in front of the title.
#pragma once

#include <cstddef>

namespace vestrel::wizard {

enum PageIndex : int {
    kWelcomePage = 0,
    kRemoveDiscsPage = 1,
    kSelectDrivesPage = 2,
    kReadingPage = 3,
    kWritingPage = 4,
    kFinishPage = 5,
};
inline constexpr int kPageCount = 6;

struct PageEntry {
    const char16_t* title;
    int dialogId;
    const char16_t* number;  // a digit and two blanks
};

// The entry of a page index; indexes outside 0..5 give the Welcome page.
const PageEntry& PageAt(int index);

}  // namespace vestrel::wizard
