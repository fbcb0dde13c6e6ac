#include "installer/batch_file.h"

#include <algorithm>

namespace vestrel::installer {

namespace {

constexpr int kDirectoryListings = 750;

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

// The path's bytes for a batch line, "%" doubled; nothing without an
// exact encoding of the path or of its short form.
std::optional<std::string> LinePath(std::u16string_view path, const PathEncoder& encode,
                                    const ShortPathOf& shortPath) {
    std::optional<std::string> bytes = encode(path);
    if (!bytes) {
        const std::u16string brief = shortPath(path);
        if (!brief.empty())
            bytes = encode(brief);
    }
    if (!bytes)
        return std::nullopt;
    std::string escaped;
    for (char c : *bytes) {
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return escaped;
}

}  // namespace

RemovalBatch BuildRemovalBatch(std::u16string_view installFolder, const InstallList& list,
                               const PathEncoder& encode, const ShortPathOf& shortPath,
                               const std::vector<std::u16string>& removedLast) {
    RemovalBatch batch;
    std::string& out = batch.bytes;
    out = "@echo off\r\n";
    for (int i = 0; i < kDirectoryListings; ++i)
        out += "dir c:\\*.*\r\n";
    const auto command = [&](const char* verb, const std::u16string& path,
                             std::vector<std::u16string>* leftToUs) {
        if (const auto bytes = LinePath(path, encode, shortPath))
            out += std::string(verb) + " \"" + *bytes + "\"\r\n";
        else if (leftToUs)
            leftToUs->push_back(path);
    };
    for (const std::u16string& file : list.files)
        command("del", Join(installFolder, file), &batch.filesLeftToUs);
    for (const std::u16string& folder : DeepestFirst(list.folders))
        command("rd", Join(installFolder, folder), &batch.foldersLeftToUs);
    command("del", Join(installFolder, kInstallListName), &batch.filesLeftToUs);
    const auto selfBytes = LinePath(Join(installFolder, kBatchFileName), encode, shortPath);
    const std::string self = "\"" + (selfBytes ? *selfBytes : "%~f0") + "\"";
    // One line: cmd reads none after the batch file has gone. The file is
    // moved out first, as a cmd that keeps it open would keep it in the
    // folder until it ends; "del" is for a move that failed.
    const std::string moved = "\"%TEMP%\\t4k_Vestrel_DeleteEverything.bat\"";
    out += "move /y " + self + " " + moved + " >nul & del " + self;
    for (const std::u16string& folder : removedLast) {
        if (const auto bytes = LinePath(folder, encode, shortPath))
            out += " & rd \"" + *bytes + "\"";
    }
    out += " & del " + moved + "\r\n";
    return batch;
}

std::vector<std::u16string> FoldersRemovedLast(std::u16string_view installFolder,
                                               std::u16string_view level1,
                                               std::u16string_view level2) {
    std::vector<std::u16string> folders{std::u16string(installFolder)};
    std::u16string_view rest = installFolder;
    for (std::u16string_view level : {level2, level1}) {
        const size_t slash = rest.rfind(u'\\');
        if (slash == std::u16string_view::npos)
            break;
        rest = rest.substr(0, slash);
        const size_t before = rest.rfind(u'\\');
        if (before == std::u16string_view::npos || !SameName(rest.substr(before + 1), level))
            break;
        folders.emplace_back(rest);
    }
    return folders;
}

}  // namespace vestrel::installer
