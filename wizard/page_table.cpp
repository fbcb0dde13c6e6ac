#include "wizard/page_table.h"

#include "resources/resource_ids.h"

namespace vestrel::wizard {

namespace {

constexpr PageEntry kPages[kPageCount] = {
    {u"Welcome!", IDD_WELCOME, u"1  "},
    {u"Remove discs", IDD_REMOVE_DISCS, u"2  "},
    {u"Select source and destination drives", IDD_SELECT_DRIVES, u"3  "},
    {u"Read source discs", IDD_READING, u"4  "},
    {u"Write destination discs", IDD_WRITING, u"5  "},
    {u"Finish", IDD_FINISH, u"6  "},
};

}  // namespace

const PageEntry& PageAt(int index) {
    if (index < 0 || index >= kPageCount)
        return kPages[0];
    return kPages[index];
}

}  // namespace vestrel::wizard
