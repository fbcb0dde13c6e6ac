// The update check's passes: the working folder and its three files, the
// download, both conversions and the page check, at most two passes. The
// platform's part (folders, files, the download, the frame, the clock) is
// an interface, so the passes run the same against tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "drive/file_system.h"
#include "update/offer.h"

namespace vestrel::update {

inline constexpr std::u16string_view kWorkingFolderName =
    u"t4k_{82DE65E8-B047-4647-8A07-1742A98109F1}";
inline constexpr std::u16string_view kPageFileName = u"_checkupdate.orignal.expected-ISO-8851.txt";
inline constexpr std::u16string_view kWidePageFileName = u"_checkupdate.chilkatconv.utf-16.txt";
inline constexpr std::u16string_view kAsciiPageFileName = u"_checkupdate.chilkatconv.us-ascii.txt";
inline constexpr int kPasses = 2;
// A conversion that keeps failing (the file held by someone else) fails
// the pass after this many attempts.
inline constexpr int kConversionAttempts = 100;
inline constexpr unsigned kConversionPauseMs = 10;
// A download that grows past this many bytes or takes longer than this is
// given up: the page is small, and the check must not fill the disc nor
// keep a thread for ever.
inline constexpr uint64_t kMaxPageBytes = 2u << 20;
inline constexpr uint32_t kMaxDownloadMs = 60000;

class CheckPlatform {
  public:
    virtual ~CheckPlatform() = default;
    virtual bool FrameAlive() = 0;
    // Without a trailing separator; empty when there is none.
    virtual std::u16string AppDataFolder() = 0;
    // An existing folder is no error.
    virtual void CreateFolder(std::u16string_view path) = 0;
    virtual void RemoveFile(std::u16string_view path) = 0;
    // Forgets the cached copy of the address, then downloads it to the
    // file; false when the download failed or went past kMaxPageBytes or
    // kMaxDownloadMs.
    virtual bool Download(std::u16string_view address, std::u16string_view path) = 0;
    // Whether the file opens for reading with no sharing (closed at once).
    virtual bool OpensAlone(std::u16string_view path) = 0;
    // The file opened for reading with no sharing, made when missing.
    virtual std::unique_ptr<File> OpenPage(std::u16string_view path) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    // The fourth field of the program's file version; 0 when unreadable.
    virtual uint16_t OwnBuild() = 0;
};

enum class CheckEnd {
    FrameGone,     // before a pass
    NoFolder,      // no application-data folder
    PageMissing,   // downloaded, yet the page file does not open
    NoWorkBuffer,  // its memory was not there
    UpToDate,
    UpdateFound,  // `offer` says what and where
    PassesFailed,
};

struct CheckResult {
    CheckEnd end = CheckEnd::PassesFailed;
    Offer offer;
    int downloads = 0;
};

// The working folder's three files: page, wide page, ASCII page.
struct WorkingFiles {
    std::u16string folder, page, widePage, asciiPage;
};
WorkingFiles WorkingFilesIn(std::u16string_view appDataFolder);

// Converts `from` into `to`, trying again after a pause while it fails,
// at most kConversionAttempts times.
bool ConvertWithRetries(CheckPlatform& platform, std::string_view fromCharset,
                        std::string_view toCharset, std::u16string_view from,
                        std::u16string_view to);

CheckResult RunUpdateCheck(CheckPlatform& platform, std::u16string_view pageAddress);

}  // namespace vestrel::update
