#include "installer/batch_file.h"

namespace vestrel::installer {

namespace {

constexpr int kDirectoryListings = 750;

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
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
                               const PathEncoder& encode, const ShortPathOf& shortPath) {
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
    const std::u16string self = Join(installFolder, kBatchFileName);
    if (const auto bytes = LinePath(self, encode, shortPath))
        out += "del \"" + *bytes + "\"\r\n";
    else
        out += "del \"%~f0\"\r\n";
    return batch;
}

}  // namespace vestrel::installer
