#include "installer/folder_guard.h"

#include <algorithm>
#include <set>

namespace vestrel::installer {

namespace {

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::u16string Comparable(std::u16string_view path) {
    std::u16string out(path);
    std::transform(out.begin(), out.end(), out.begin(), FoldAscii);
    while (!out.empty() && out.back() == u'\\')
        out.pop_back();
    return out;
}

bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The components after the root ("X:" or "\\server\share"), or nothing
// when the path has no such root.
std::optional<std::vector<std::u16string_view>> ComponentsBelowRoot(std::u16string_view path) {
    size_t rootEnd = 0;
    if (path.size() >= 2 && IsLetter(path[0]) && path[1] == u':') {
        if (path.size() > 2 && path[2] != u'\\')
            return std::nullopt;  // "C:name" is relative to C:'s current folder
        rootEnd = 2;
    } else if (path.substr(0, 2) == u"\\\\") {
        const size_t server = path.find(u'\\', 2);
        if (server == 2 || server == std::u16string_view::npos)
            return std::nullopt;
        const size_t share = path.find(u'\\', server + 1);
        if (share == server + 1)
            return std::nullopt;
        const std::u16string_view serverName = path.substr(2, server - 2);
        if (serverName == u"?" || serverName == u".")
            return std::nullopt;
        rootEnd = share == std::u16string_view::npos ? path.size() : share;
    } else {
        return std::nullopt;
    }
    std::vector<std::u16string_view> components;
    size_t start = rootEnd;
    while (start < path.size()) {
        ++start;  // the backslash
        const size_t end = std::min(path.find(u'\\', start), path.size());
        const std::u16string_view name = path.substr(start, end - start);
        if (name == u"." || name == u"..")
            return std::nullopt;
        if (!name.empty())
            components.push_back(name);
        start = end;
    }
    return components;
}

}  // namespace

FolderVerdict CheckRemovalFolder(std::u16string_view folder,
                                 const std::vector<std::u16string>& protectedFolders) {
    const auto components = ComponentsBelowRoot(folder);
    if (!components)
        return FolderVerdict::NotAbsolute;
    if (components->empty())
        return FolderVerdict::DriveRoot;
    const std::u16string mine = Comparable(folder);
    for (const std::u16string& other : protectedFolders) {
        const std::u16string theirs = Comparable(other);
        if (theirs.empty())
            continue;
        // Equal, or theirs lies below mine.
        if (theirs.size() >= mine.size() && theirs.compare(0, mine.size(), mine) == 0 &&
            (theirs.size() == mine.size() || theirs[mine.size()] == u'\\'))
            return FolderVerdict::ProtectedFolder;
    }
    return FolderVerdict::Allowed;
}

std::u16string NormaliseFolder(std::u16string_view text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return {};
    std::u16string folder(text.substr(first, text.find_last_not_of(u' ') - first + 1));
    std::replace(folder.begin(), folder.end(), u'/', u'\\');
    while (folder.size() > 1 && folder.back() == u'\\' &&
           !(folder.size() == 3 && folder[1] == u':'))
        folder.pop_back();
    return folder;
}

std::optional<std::u16string> FolderOfCommand(std::u16string_view command) {
    const size_t last = command.rfind(u'\\');
    if (last == std::u16string_view::npos)
        return std::nullopt;
    return std::u16string(command.substr(0, last));
}

bool LeadsElsewhere(uint32_t attributes, uint32_t reparseTag) {
    constexpr uint32_t kReparsePoint = 0x400;        // FILE_ATTRIBUTE_REPARSE_POINT
    constexpr uint32_t kNameSurrogate = 0x20000000;  // the tag's name-surrogate bit
    return (attributes & kReparsePoint) && (reparseTag == 0 || (reparseTag & kNameSurrogate));
}

bool LinkOnListedPaths(std::u16string_view folder, const InstallList& list,
                       const IsLinkQuery& isLink) {
    // Relative folders to look at, each once: every listed folder and every
    // folder holding a listed entry.
    std::set<std::u16string> folders;
    const auto addWithParents = [&](std::u16string_view path) {
        for (size_t slash = path.find(u'\\'); slash != std::u16string_view::npos;
             slash = path.find(u'\\', slash + 1))
            folders.emplace(path.substr(0, slash));
    };
    for (const std::u16string& file : list.files)
        addWithParents(file);
    for (const std::u16string& listed : list.folders) {
        addWithParents(listed);
        folders.insert(listed);
    }
    if (isLink(folder))
        return true;
    const std::u16string base = std::u16string(folder) + u'\\';
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::u16string& relative) { return isLink(base + relative); });
}

}  // namespace vestrel::installer
