// Where a track's image goes and how big it is planned to be. Every track of
// every source becomes one file: "iso" holds the 2048-byte user data of each
// sector, "wav" a 44-byte RIFF/WAVE header and then 2352-byte sectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "drive/cdb.h"
#include "drive/file_system.h"

namespace vestrel {

// The separator of the paths this build hands to the file system. Paths are
// built by appending it and a name, as Windows paths are built with "\".
#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

constexpr uint32_t kWaveHeaderBytes = 44;
// Kept free on any drive that receives image files.
constexpr uint64_t kFreeSpaceMargin = 52428800;

constexpr uint32_t SectorSize(bool isData) {
    return isData ? kDataSectorSize : kAudioSectorSize;
}

// (lastLba - firstLba + 1) sectors of the track's kind; 0 when lastLba lies
// before firstLba. The header of an audio file is not counted.
uint64_t PlannedImageBytes(bool isData, uint32_t firstLba, uint32_t lastLba);

// The folder's files for the source in drive `sourceLetter`: its track
// `trackIndex` (from 0) is "<folder><letter><index, 3 digits>.iso" or
// ".wav". The folder ends in a separator.
std::u16string ImageFileName(std::u16string_view folder, char16_t sourceLetter, uint32_t trackIndex,
                             bool isData);

// The home folder below the application-data folder: "<appData>\t4k\Temp\".
// Empty when there is no application-data folder, so that no image goes to
// the root of whatever drive is current.
std::u16string HomeImageFolder(std::u16string_view appDataFolder,
                               char16_t separator = kPathSeparator);

// The folder on another fixed drive: "X:\Temp\".
std::u16string FallbackImageFolder(char16_t driveLetter);

// Reads exactly `size` bytes; false when the file ends (or fails) first.
bool ReadFull(File& file, uint8_t* data, size_t size);

}  // namespace vestrel
