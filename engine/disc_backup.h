// Backing source discs up into a folder of files that a person keeps: each
// track as an ISO file (data) or a WAV file (audio), the same files the
// reader writes, and for each disc a cue sheet over them that describes the
// whole disc. A disc with audio tracks (a CD) also becomes one raw image of
// 2352-byte sectors with its own cue sheet, the bin/cue form that CD tools
// take whole and split into tracks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drive/source_table.h"

namespace vestrel {

// A source's files besides its tracks'; empty paths for a source left out.
struct BackupFiles {
    std::u16string cueSheet;  // over the track files
    std::u16string rawImage;  // "-raw.bin", only for a disc with audio tracks
    std::u16string rawCueSheet;
};

// A volume label made fit for a file name on every system: ASCII letters,
// digits, '-', '_' and '.', anything else as '_', runs of '_' as one, no
// '_' or '.' at either end, at most 64 characters, and never a name that
// Windows reserves for a device (CON, NUL, COM1...). Empty when nothing is
// left.
std::u16string SafeFileName(std::u16string_view label);

// The base of each source's file names: its label made safe, or "Disc_D"
// (its drive letter) without one; a base that two sources share gets "_"
// and the drive letter. Where file names would still collide, every source
// is named by its drive letter.
std::vector<std::u16string> BackupBaseNames(const std::vector<SourceRecord>& sources);

// Gives every track of every source that was not left out its path in
// `folder`: "<base>.iso" or "<base>.wav" for a disc of one track,
// "<base>-01.iso", "<base>-02.wav"... otherwise; and returns each source's
// other files: "<base>.cue", and "<base>-raw.bin" with "<base>-raw.cue" for
// a disc with audio tracks.
std::vector<BackupFiles> PlanBackupFiles(std::vector<SourceRecord>& sources,
                                         std::u16string_view folder);

// Every path the plan names, in source order: tracks, then the others.
std::vector<std::u16string> BackupPaths(const std::vector<SourceRecord>& sources,
                                        const std::vector<BackupFiles>& files);

// After a source was read into its track files: writes its cue sheet and,
// where planned, the raw image built from the track files and its cue
// sheet, both with the source's marks. On failure (marks a cue sheet cannot
// hold among them) removes what it wrote of these and says why in `error`;
// the track files stay.
bool WriteBackupCueSheets(const SourceRecord& source, const BackupFiles& files,
                          std::u16string& error);

}  // namespace vestrel
