#include "update/page_check.h"

#include <array>

#include "update/page_search.h"

namespace vestrel::update {

PageOutcome CheckPage(File& page, uint16_t ownBuild, std::u16string_view downloadBase,
                      std::span<char> workBuffer) {
    const std::array<std::string_view, 2> patterns{kPreferredLinkPattern, kGeneralLinkPattern};
    const std::string marker = OwnBuildMarker(ownBuild);
    uint64_t position = 0;
    if (!page.Seek(0))
        return {};
    for (;;) {
        if (!SearchPage(page, position, patterns, workBuffer))
            return {};
        std::array<char, kLinkWindowBytes> bytes{};
        uint32_t error = 0;
        const size_t got = page.Read(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), error);
        if (got == 0)
            return {};
        position += got;
        const std::string_view window = TextUpToZero(bytes.data(), got);
        const auto target = LinkTarget(window);
        if (window.find(kPackageSuffix) == std::string_view::npos || !target ||
            !AcceptableLinkTarget(*target))
            continue;
        if (window.find(marker) != std::string_view::npos)
            return {PageVerdict::UpToDate, {}};
        return {PageVerdict::UpdateOffered, ReadOffer(window, downloadBase)};
    }
}

}  // namespace vestrel::update
