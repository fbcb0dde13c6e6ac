// The bays the wizard's GUI tests start it on, described with the tests'
// bay builder and written to a file of the test's own.
#pragma once

#include "tests/support/test_bay.h"

namespace vestrel::gui::bays {

using sim::testing::BaySpec;

// A DVD-ROM reader with nothing in it: its open tray never holds the Remove
// discs page up, so the wizard moves on about a second after that page shows.
inline BaySpec Quick() {
    return BaySpec().Drive('D', "dvd-rom-reader");
}

// A recorder holding a blank, and a reader: the Remove discs page opens both
// trays, and the person closes them after 2.5 seconds. A recorder's open
// tray holds the page up, so it moves on only then.
inline BaySpec Trays() {
    return BaySpec()
        .Disc("blank", "blank = CD-R")
        .Drive('D', "dvd-rom-reader")
        .Drive('E', "cd-rw-recorder", "blank")
        .Operator("close-trays-after = 2500");
}

// A recorder whose tray stays open holds the Remove discs page up; the DVD
// reader's open tray beside it does not count.
inline BaySpec OpenRecorder() {
    return BaySpec()
        .Drive('D', "dvd-rom-reader")
        .With("tray = open")
        .Drive('E', "cd-rw-recorder")
        .With("tray = open");
}

// A person who closes the trays the Remove discs page opens, the discs left
// inside, so that the wizard moves on to the select page.
inline BaySpec Attended(BaySpec bay) {
    return bay.Operator("close-trays-after = 200");
}

// A data CD in a CD reader D: and a CD recorder F:; the appdata folder
// beside the bay, so that tests can reach the image files.
inline BaySpec CdAndRecorder() {
    return Attended(BaySpec()
                        .Top("appdata = appdata")
                        .Iso("cd", "CD-ROM", sim::testing::PatternBytes(40 * 2048, 9))
                        .InReaders('D', "cd-rom-reader")
                        .Drive('F', "cd-rw-recorder"));
}

}  // namespace vestrel::gui::bays
