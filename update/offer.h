// What a candidate link on the publisher's page says: its link target, the
// download address built from it, and the short version text beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestrel::update {

inline constexpr std::string_view kPreferredLinkPattern = "href=\"t4k.BETA.";
inline constexpr std::string_view kGeneralLinkPattern = "href=\"t4k.";
inline constexpr std::string_view kPackageSuffix = ".sfx.exe";
// The bytes from a link's start that are looked at.
inline constexpr size_t kLinkWindowBytes = 226;

struct Offer {
    std::u16string downloadAddress;
    std::u16string versionText;  // may be empty
};

// ".0021.sfx.exe\"" for build 21: the number with at least four digits.
std::string OwnBuildMarker(uint16_t build);

// The link target of a window that starts with href=": the text from the
// seventh character up to the next double quote; nothing without one.
std::optional<std::string_view> LinkTarget(std::string_view window);

// Only a plain package file name is fetched from the publisher's site:
// letters, digits, '.', '-' and '_', no "..", ending in ".sfx.exe".
bool AcceptableLinkTarget(std::string_view target);

// The text after the link target's closing quote names the version: from
// the word holding its first dot back to the last letter before " (Self-"
// (or else "</"); empty when the pieces are missing.
std::string NewVersionText(std::string_view rest);

// The web site's root for the page's address: up to and including the
// last "/" of its path (a "/" is added after a bare host).
std::u16string DownloadBase(std::u16string_view pageAddress);

// The offer a window with a link target makes.
Offer ReadOffer(std::string_view window, std::u16string_view downloadBase);

}  // namespace vestrel::update
