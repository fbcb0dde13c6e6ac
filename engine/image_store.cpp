#include "engine/image_store.h"

#include "drive/drive_letters.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/text.h"
#include "engine/image_files.h"

namespace vestrel {

namespace {

bool IsDriveLetterPath(std::u16string_view path) {
    return path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/') &&
           ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

char16_t UpperLetter(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
}

// Free space for the home folder, asked of the application-data folder
// itself: the same volume as its drive's root, and where a simulated
// computer states how much room its home has.
bool HomeFreeSpace(const std::u16string& appData, uint64_t& free) {
    return ActiveDriveLetters().FreeSpace(appData, free);
}

bool Fits(uint64_t imageBytes, uint64_t freeBytes) {
    return imageBytes < freeBytes && freeBytes - imageBytes > kFreeSpaceMargin;
}

}  // namespace

bool PlanImageFiles(std::vector<SourceRecord>& sources) {
    DriveLetterServices& drives = ActiveDriveLetters();
    const std::u16string appData = drives.AppDataFolder();
    const std::u16string home = HomeImageFolder(appData);
    uint64_t remaining = 0;
    const bool homeKnown = !home.empty() && HomeFreeSpace(appData, remaining);
    const char16_t homeLetter = IsDriveLetterPath(home) ? UpperLetter(home[0]) : 0;

    if (homeKnown) {
        for (SourceRecord& source : sources) {
            for (size_t i = 0; i < source.tracks.size(); ++i) {
                TrackRecord& track = source.tracks[i];
                track.imagePath.clear();
                if (!Fits(track.imageBytes, remaining))
                    continue;
                remaining -= track.imageBytes;
                track.imagePath =
                    ImageFileName(home, source.driveLetter, static_cast<uint32_t>(i), track.isData);
            }
        }
    } else {
        for (SourceRecord& source : sources) {
            for (TrackRecord& track : source.tracks)
                track.imagePath.clear();
        }
    }

    std::vector<char16_t> fixed;
    const uint32_t present = drives.LogicalDrives();
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        if ((present >> (letter - u'A')) & 1u && drives.DriveType(letter) == DriveKind::Fixed) {
            fixed.push_back(letter);
        }
    }

    bool all = true;
    for (SourceRecord& source : sources) {
        for (size_t i = 0; i < source.tracks.size(); ++i) {
            TrackRecord& track = source.tracks[i];
            if (!track.imagePath.empty())
                continue;
            for (char16_t letter : fixed) {
                uint64_t free = 0;
                if (homeKnown && letter == homeLetter) {
                    free = remaining;
                } else if (!drives.FreeSpace(drives.RootFolder(letter), free)) {
                    continue;
                }
                if (!Fits(track.imageBytes, free))
                    continue;
                std::u16string folder = drives.RootFolder(letter) + u"Temp";
                folder += folder.find(u'/') != std::u16string::npos ? u'/' : u'\\';
                track.imagePath = ImageFileName(folder, source.driveLetter,
                                                static_cast<uint32_t>(i), track.isData);
                break;
            }
            if (track.imagePath.empty())
                all = false;
        }
    }
    return all;
}

std::vector<std::u16string> ExistingImageFiles(const std::vector<SourceRecord>& sources) {
    std::vector<std::u16string> existing;
    FileSystem& files = ActiveFileSystem();
    for (const SourceRecord& source : sources) {
        for (const TrackRecord& track : source.tracks) {
            if (!track.imagePath.empty() && files.Exists(track.imagePath)) {
                existing.push_back(track.imagePath);
            }
        }
    }
    return existing;
}

bool ConfirmOverwrite(const std::vector<SourceRecord>& sources, OverwritePrompt& prompt) {
    std::vector<std::u16string> existing = ExistingImageFiles(sources);
    if (existing.empty())
        return true;
    std::u16string list;
    for (const std::u16string& path : existing) {
        if (!list.empty())
            list += u"\r\n\r\n";
        list += path;
    }
    if (!prompt.AskOverwrite(list))
        return false;
    bool all = true;
    for (const std::u16string& path : existing) {
        uint32_t error = 0;
        if (!ActiveFileSystem().RemoveFile(path, error))
            all = false;
    }
    if (!all)
        prompt.ShowMessage(kCannotOverwriteMessage);
    return all;
}

std::u16string OverwriteCountdown::Caption() const {
    return FormatText(u"Overwrite -- %d", {count_});
}

bool OverwriteCountdown::Tick(uint32_t nowMs) {
    if (count_ == 0 || nowMs - lastChange_ < 1000)
        return false;
    lastChange_ = nowMs;
    --count_;
    return count_ == 0;
}

bool CreateImageFolders(std::u16string_view imagePath) {
    DriveLockGuard lock;
    FileSystem& files = ActiveFileSystem();
    for (size_t i = 0; i < imagePath.size(); ++i) {
        if (imagePath[i] != u'\\' && imagePath[i] != u'/')
            continue;
        std::u16string_view prefix = imagePath.substr(0, i + 1);
        // The root itself ("/" or "X:\") always exists.
        if (i == 0 || (i == 2 && imagePath[1] == u':'))
            continue;
        if (files.IsFolder(prefix))
            continue;
        uint32_t error = 0;
        if (!files.CreateFolder(prefix, error) && !files.IsFolder(prefix))
            return false;
    }
    return true;
}

void RemoveImageFolder(std::u16string_view imagePath) {
    size_t last = imagePath.find_last_of(u"\\/");
    if (last == std::u16string_view::npos || last <= 3)
        return;
    ActiveFileSystem().RemoveFolder(imagePath.substr(0, last));
}

void DeleteImageFiles(const std::vector<SourceRecord>& sources) {
    FileSystem& files = ActiveFileSystem();
    for (const SourceRecord& source : sources) {
        for (const TrackRecord& track : source.tracks) {
            if (track.imagePath.empty())
                continue;
            uint32_t error = 0;
            files.RemoveFile(track.imagePath, error);
            RemoveImageFolder(track.imagePath);
        }
    }
}

}  // namespace vestrel
