#include "installer/install_list.h"

#include <algorithm>
#include <cstdint>

#include "installer/batch_file.h"

namespace vestrel::installer {

namespace {

constexpr std::u16string_view kHeader = u"t4k Vestrel install list 1";

bool IsForbidden(char16_t c) {
    return c < 0x20 || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' ||
           c == u'|' || c == u'/';
}

bool IsSafeComponent(std::u16string_view name) {
    if (name.empty() || name.back() == u'.' || name.back() == u' ')
        return false;
    return std::none_of(name.begin(), name.end(), IsForbidden);
}

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

void AppendNew(std::vector<std::u16string>& to, const std::vector<std::u16string>& from) {
    for (const std::u16string& entry : from) {
        if (std::none_of(to.begin(), to.end(),
                         [&](const std::u16string& have) { return SameName(have, entry); }))
            to.push_back(entry);
    }
}

void ListInto(std::u16string_view root, const std::u16string& relative, const ReadFolder& read,
              std::vector<std::u16string>& files) {
    const std::u16string folder =
        relative.empty() ? std::u16string(root) : std::u16string(root) + u'\\' + relative;
    for (const FolderEntry& entry : read(folder)) {
        if (entry.isLink)
            continue;
        if (relative.empty() && (entry.name == kInstallListName || entry.name == kBatchFileName))
            continue;
        const std::u16string path = relative.empty() ? entry.name : relative + u'\\' + entry.name;
        if (entry.isFolder)
            ListInto(root, path, read, files);
        else
            files.push_back(path);
    }
}

void PutLine(std::string& out, std::u16string_view line) {
    for (char16_t c : line) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    for (char16_t c : {u'\r', u'\n'}) {
        out.push_back(static_cast<char>(c));
        out.push_back('\0');
    }
}

}  // namespace

bool IsSafeRelativePath(std::u16string_view path) {
    if (path.empty())
        return false;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(u'\\', start);
        if (!IsSafeComponent(path.substr(start, end - start)))
            return false;
        if (end == std::u16string_view::npos)
            return true;
        start = end + 1;
    }
}

std::string FormatInstallList(const InstallList& list) {
    std::string out = "\xFF\xFE";
    PutLine(out, kHeader);
    for (const std::u16string& file : list.files)
        PutLine(out, u"F " + file);
    for (const std::u16string& folder : list.folders)
        PutLine(out, u"D " + folder);
    return out;
}

std::optional<InstallList> ParseInstallList(std::string_view bytes) {
    if (bytes.size() > kMaxInstallListBytes || bytes.size() % 2 != 0 ||
        bytes.substr(0, 2) != "\xFF\xFE")
        return std::nullopt;
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    InstallList list;
    bool headerSeen = false;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(u"\r\n", start);
        if (end == std::u16string::npos)
            return std::nullopt;  // every line is ended; a cut list is not trusted
        const std::u16string_view line = std::u16string_view(text).substr(start, end - start);
        start = end + 2;
        if (!headerSeen) {
            if (line != kHeader)
                return std::nullopt;
            headerSeen = true;
            continue;
        }
        if (line.size() < 2 || line[1] != u' ' || !IsSafeRelativePath(line.substr(2)))
            return std::nullopt;
        if (line[0] == u'F')
            list.files.emplace_back(line.substr(2));
        else if (line[0] == u'D')
            list.folders.emplace_back(line.substr(2));
        else
            return std::nullopt;
    }
    if (!headerSeen)
        return std::nullopt;
    return list;
}

InstallList MergeInstallLists(const InstallList& old, const InstallList& added) {
    InstallList merged = old;
    AppendNew(merged.files, added.files);
    AppendNew(merged.folders, added.folders);
    return merged;
}

std::vector<std::u16string> DeepestFirst(std::vector<std::u16string> folders) {
    std::stable_sort(
        folders.begin(), folders.end(), [](const std::u16string& a, const std::u16string& b) {
            return std::count(a.begin(), a.end(), u'\\') > std::count(b.begin(), b.end(), u'\\');
        });
    return folders;
}

std::vector<std::u16string> ListPackageFiles(std::u16string_view root, const ReadFolder& read) {
    std::vector<std::u16string> files;
    ListInto(root, u"", read, files);
    return files;
}

}  // namespace vestrel::installer
