// Each source's tracks, read from its table of contents: the MSF form says
// which tracks hold data, the LBA form where each track starts; a track ends
// just before the next one (the last just before the lead-out).
#pragma once

#include <vector>

#include "drive/bytes.h"
#include "drive/source_table.h"

namespace vestrel {

enum class LayoutOutcome {
    Read,
    NotReady,         // TEST UNIT READY failed
    TocUnreadable,    // the MSF TOC could not be read
    AddressesUnread,  // the MSF TOC was read, the LBA TOC then failed
    TocInconsistent,  // the replies do not describe whole, ordered tracks
};

// The tracks described by the two READ TOC replies. Every track named by
// the last-track number and the lead-out after them must lie within both
// replies, both must name the same last track, and each track must start
// before the next; otherwise nothing is returned (TocInconsistent): a
// source is copied whole or not at all.
LayoutOutcome TracksFromToc(ByteReader msfReply, ByteReader lbaReply,
                            std::vector<TrackRecord>& tracks);

// Reads one source's layout, replacing its tracks and total. Audio hidden
// before an audio track 1 belongs to track 1, which then starts at LBA 0,
// its INDEX 01 kept in the marks (TrackMarks::hiddenAudio). Any outcome
// but Read leaves the source out of the copy: without tracks, so it gets
// no image files, and without destinations, so no recorder gets it as a
// job and no empty disc is ever recorded. The other sources go on.
LayoutOutcome ReadSourceLayout(SourceRecord& source);

// True for a source that ReadSourceLayout left out.
bool LeftOut(const SourceRecord& source);

// ReadSourceLayout for every source of the source table, in order; the
// outcomes in the same order, so the caller can tell the user which source
// could not be read.
std::vector<LayoutOutcome> ReadSourceLayouts();

// True when every outcome is Read.
bool AllLayoutsRead(const std::vector<LayoutOutcome>& outcomes);

}  // namespace vestrel
