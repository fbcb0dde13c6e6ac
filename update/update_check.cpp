#include "update/update_check.h"

#include <new>
#include <optional>

#include "charset/charset_converter.h"
#include "update/page_check.h"
#include "update/page_search.h"

namespace vestrel::update {

namespace {

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
}

void DeleteFiles(CheckPlatform& platform, const WorkingFiles& files) {
    platform.RemoveFile(files.widePage);
    platform.RemoveFile(files.asciiPage);
    platform.RemoveFile(files.page);
}

}  // namespace

WorkingFiles WorkingFilesIn(std::u16string_view appDataFolder) {
    WorkingFiles files;
    files.folder = Join(appDataFolder, kWorkingFolderName);
    files.page = Join(files.folder, kPageFileName);
    files.widePage = Join(files.folder, kWidePageFileName);
    files.asciiPage = Join(files.folder, kAsciiPageFileName);
    return files;
}

bool ConvertWithRetries(CheckPlatform& platform, std::string_view fromCharset,
                        std::string_view toCharset, std::u16string_view from,
                        std::u16string_view to) {
    charset::CharsetConverter converter;
    if (!converter.SetSourceCharset(fromCharset) || !converter.SetTargetCharset(toCharset))
        return false;
    for (int attempt = 1; attempt <= kConversionAttempts; ++attempt) {
        if (converter.ConvertFile(from, to))
            return true;
        if (attempt < kConversionAttempts)
            platform.Sleep(kConversionPauseMs);
    }
    return false;
}

namespace {

// One pass: the download, both conversions and the page check.
std::optional<CheckResult> RunPass(CheckPlatform& platform, const WorkingFiles& files,
                                   std::u16string_view pageAddress,
                                   std::u16string_view downloadBase) {
    if (!platform.Download(pageAddress, files.page))
        return std::nullopt;
    CheckResult result;
    if (!platform.OpensAlone(files.page)) {
        result.end = CheckEnd::PageMissing;
        return result;
    }
    std::unique_ptr<File> page;
    if (ConvertWithRetries(platform, "iso-8859-1", "unicode", files.page, files.widePage) &&
        ConvertWithRetries(platform, "unicode", "us-ascii", files.widePage, files.asciiPage))
        page = platform.OpenPage(files.asciiPage);
    if (!page)
        return std::nullopt;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kWorkBufferBytes]());
    if (!buffer) {
        result.end = CheckEnd::NoWorkBuffer;
        return result;
    }
    PageOutcome outcome = CheckPage(*page, platform.OwnBuild(), downloadBase,
                                    std::span<char>(buffer.get(), kWorkBufferBytes));
    if (outcome.verdict == PageVerdict::UpToDate) {
        result.end = CheckEnd::UpToDate;
        return result;
    }
    if (outcome.verdict == PageVerdict::UpdateOffered) {
        result.end = CheckEnd::UpdateFound;
        result.offer = std::move(outcome.offer);
        return result;
    }
    return std::nullopt;
}

}  // namespace

CheckResult RunUpdateCheck(CheckPlatform& platform, std::u16string_view pageAddress) {
    CheckResult result;
    const std::u16string downloadBase = DownloadBase(pageAddress);
    for (int pass = 1;; ++pass) {
        if (!platform.FrameAlive()) {
            result.end = CheckEnd::FrameGone;
            return result;
        }
        const std::u16string appData = platform.AppDataFolder();
        if (appData.empty()) {
            result.end = CheckEnd::NoFolder;
            return result;
        }
        const WorkingFiles files = WorkingFilesIn(appData);
        platform.CreateFolder(files.folder);
        DeleteFiles(platform, files);
        if (pass > kPasses) {
            result.end = CheckEnd::PassesFailed;
            return result;
        }

        ++result.downloads;
        std::optional<CheckResult> found = RunPass(platform, files, pageAddress, downloadBase);
        // Whatever the pass found, its working files go with it.
        DeleteFiles(platform, files);
        if (found) {
            found->downloads = result.downloads;
            return *found;
        }
    }
}

}  // namespace vestrel::update
