#include "update/offer.h"

#include "drive/text.h"

namespace vestrel::update {

namespace {

constexpr size_t kTargetStart = 6;  // after href="

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsLetterOrDigit(char c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

bool IsFileNameCharacter(char c) {
    return IsLetterOrDigit(c) || c == '.' || c == '-' || c == '_';
}

}  // namespace

std::string OwnBuildMarker(uint16_t build) {
    std::string digits = std::to_string(build);
    if (digits.size() < 4)
        digits.insert(0, 4 - digits.size(), '0');
    return "." + digits + std::string(kPackageSuffix) + "\"";
}

std::optional<std::string_view> LinkTarget(std::string_view window) {
    if (window.size() < kTargetStart)
        return std::nullopt;
    const size_t quote = window.find('"', kTargetStart);
    if (quote == std::string_view::npos)
        return std::nullopt;
    return window.substr(kTargetStart, quote - kTargetStart);
}

bool AcceptableLinkTarget(std::string_view target) {
    if (target.size() <= kPackageSuffix.size() || !target.ends_with(kPackageSuffix) ||
        target.find("..") != std::string_view::npos)
        return false;
    for (char c : target) {
        if (!IsFileNameCharacter(c))
            return false;
    }
    return true;
}

std::string NewVersionText(std::string_view rest) {
    size_t anchor = rest.find(" (Self-");
    if (anchor == std::string_view::npos)
        anchor = rest.find("</");
    const size_t dot = rest.find('.');
    if (anchor == std::string_view::npos || dot == std::string_view::npos)
        return {};
    size_t space = dot;
    while (space > 0 && rest[space] != ' ')
        --space;
    if (rest[space] != ' ')
        return {};
    const size_t start = space + 1;
    if (anchor < start)
        return std::string(rest.substr(start));
    // The text ends at its last letter or digit before the anchor, so that a
    // plain "2.5" is kept whole.
    size_t end = anchor;
    while (end > start && !IsLetterOrDigit(rest[end]))
        --end;
    return std::string(rest.substr(start, end - start + 1));
}

std::u16string DownloadBase(std::u16string_view pageAddress) {
    const std::u16string_view path = pageAddress.substr(0, pageAddress.find_first_of(u"?#"));
    const size_t scheme = path.find(u"://");
    const size_t host = scheme == std::u16string_view::npos ? 0 : scheme + 3;
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos || slash < host)
        return std::u16string(path) + u"/";
    return std::u16string(path.substr(0, slash + 1));
}

Offer ReadOffer(std::string_view window, std::u16string_view downloadBase) {
    Offer offer;
    const std::optional<std::string_view> target = LinkTarget(window);
    if (!target)
        return offer;
    offer.downloadAddress = std::u16string(downloadBase) + FromLatin1(*target);
    const size_t restStart = kTargetStart + target->size() + 1;
    offer.versionText = FromLatin1(NewVersionText(window.substr(restStart)));
    return offer;
}

}  // namespace vestrel::update
