#include "wizard/version_text.h"

#include <climits>

#include "drive/text.h"

namespace vestrel {

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// The leading number of a text as _wtoi reads it, held within 32 bits.
int32_t LeadingNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<int64_t>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

VersionNumbers ParseVersionNumbers(std::u16string_view text) {
    int32_t numbers[4] = {0, 0, 0, 0};
    size_t position = 0;
    for (int k = 0; k < 4; ++k) {
        const std::u16string_view rest = text.substr(position);
        size_t separator = std::u16string_view::npos;
        if (k < 3) {
            separator = rest.find(u',');
            if (separator == std::u16string_view::npos)
                separator = rest.find(u'.');
        }
        numbers[k] = LeadingNumber(rest.substr(0, separator));
        if (separator == std::u16string_view::npos)
            break;  // nothing follows: the later numbers stay 0
        position += separator + 1;
    }
    return {numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::u16string DisplayVersion(std::u16string_view fileVersion, std::u16string_view specialBuild) {
    std::u16string_view cut = fileVersion;
    const size_t first = fileVersion.find(u'.');
    if (first != std::u16string_view::npos) {
        const size_t second = fileVersion.find(u'.', first + 1);
        if (second != std::u16string_view::npos)
            cut = fileVersion.substr(0, second);
    }
    std::u16string line(cut);
    if (!specialBuild.empty()) {
        line += u' ';
        line += specialBuild;
    }
    return line;
}

std::u16string CaptionVersion(const VersionNumbers& numbers, std::u16string_view specialBuild) {
    return FormatText(u" %d.%d %s", {numbers.major, numbers.minor, specialBuild});
}

}  // namespace vestrel
