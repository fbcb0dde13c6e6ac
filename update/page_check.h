// Finding the candidate link on the page and judging it against the
// program's own build.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "drive/file_system.h"
#include "update/offer.h"

namespace vestrel::update {

enum class PageVerdict {
    NoCandidate,    // no link with a package in its window
    UpToDate,       // the candidate's window names the own build
    UpdateOffered,  // `offer` says what and where
};

struct PageOutcome {
    PageVerdict verdict = PageVerdict::NoCandidate;
    Offer offer;
};

// Reads the page file from its start. The candidate is the first link with
// the preferred pattern, else the first with the general one, whose window
// holds the package suffix and an acceptable link target; a window without
// them is skipped whole and the search goes on after it.
PageOutcome CheckPage(File& page, uint16_t ownBuild, std::u16string_view downloadBase,
                      std::span<char> workBuffer);

}  // namespace vestrel::update
