#include "drive/text.h"

#include <algorithm>
#include <array>

namespace vestrel {

namespace {

void AppendPadded(std::u16string& out, std::u16string_view body, size_t width, bool left,
                  bool zero) {
    size_t pad = body.size() < width ? width - body.size() : 0;
    if (left) {
        out.append(body);
        out.append(pad, u' ');
        return;
    }
    if (zero && !body.empty() && body[0] == u'-') {
        out.push_back(u'-');
        out.append(pad, u'0');
        out.append(body.substr(1));
        return;
    }
    out.append(pad, zero ? u'0' : u' ');
    out.append(body);
}

// A number's digits (after a '-' when negative), written at the end of
// `buf`, which holds the longest: 20 decimal digits and the sign.
std::u16string_view Digits(unsigned long long v, unsigned base, bool upper, bool negative,
                           std::array<char16_t, 24>& buf) {
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    size_t at = buf.size();
    do {
        buf[--at] = digits[v % base];
        v /= base;
    } while (v != 0);
    if (negative)
        buf[--at] = u'-';
    return std::u16string_view(buf.data() + at, buf.size() - at);
}

}  // namespace

std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args) {
    std::u16string out;
    out.reserve(format.size());
    auto next = args.begin();
    size_t i = 0;
    while (i < format.size()) {
        // Plain text up to the next conversion goes across in one piece.
        const size_t percent = std::min(format.find(u'%', i), format.size());
        out.append(format.substr(i, percent - i));
        i = percent;
        if (i == format.size())
            break;
        size_t start = i++;
        if (i < format.size() && format[i] == u'%') {
            out.push_back(u'%');
            ++i;
            continue;
        }
        bool left = false, zero = false;
        while (i < format.size() && (format[i] == u'-' || format[i] == u'0')) {
            if (format[i] == u'-')
                left = true;
            if (format[i] == u'0')
                zero = true;
            ++i;
        }
        size_t width = 0;
        // Widths are capped so that no format can ask for a huge text.
        constexpr size_t kMaxWidth = 1000;
        while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
            width = std::min(kMaxWidth, width * 10 + (format[i] - u'0'));
            ++i;
        }
        size_t precision = std::u16string_view::npos;
        if (i < format.size() && format[i] == u'.') {
            ++i;
            precision = 0;
            while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
                precision = std::min<size_t>(1000000, precision * 10 + (format[i] - u'0'));
                ++i;
            }
        }
        bool wide64 = false;
        if (format.substr(i, 3) == u"I64") {
            wide64 = true;
            i += 3;
        } else if (format.substr(i, 2) == u"ll") {
            wide64 = true;
            i += 2;
        } else if (i < format.size() && (format[i] == u'l' || format[i] == u'h')) {
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        char16_t conv = format[i++];
        const FormatArg* arg = next != args.end() ? &*next : nullptr;
        auto isNumber = [&] {
            return arg && (arg->kind() == FormatArg::Kind::Signed ||
                           arg->kind() == FormatArg::Kind::Unsigned ||
                           arg->kind() == FormatArg::Kind::Char);
        };
        // What the conversion yields, before padding: a view of the
        // argument's text, of `number`, or of `single`.
        std::u16string_view body;
        std::array<char16_t, 24> number;
        char16_t single = 0;
        switch (conv) {
            case u'd':
            case u'i': {
                if (isNumber()) {
                    long long v = arg->AsSigned();
                    if (!wide64)
                        v = static_cast<int32_t>(static_cast<uint32_t>(v));
                    unsigned long long mag = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
                    body = Digits(mag, 10, false, v < 0, number);
                }
                break;
            }
            case u'u':
            case u'x':
            case u'X': {
                if (isNumber()) {
                    unsigned long long v = arg->AsUnsigned();
                    if (!wide64)
                        v = static_cast<uint32_t>(v);
                    body = Digits(v, conv == u'u' ? 10 : 16, conv == u'X', false, number);
                }
                break;
            }
            case u's':
            case u'S': {
                if (arg && arg->kind() == FormatArg::Kind::Text) {
                    std::u16string_view t = arg->AsText();
                    if (precision < t.size())
                        t = t.substr(0, precision);
                    body = t;
                }
                zero = false;
                break;
            }
            case u'c':
            case u'C': {
                if (arg && arg->kind() != FormatArg::Kind::Text) {
                    single = static_cast<char16_t>(arg->AsUnsigned());
                    body = std::u16string_view(&single, 1);
                }
                zero = false;
                break;
            }
            default:
                out.append(format.substr(start, i - start));
                continue;
        }
        if (next != args.end())
            ++next;
        AppendPadded(out, body, width, left, zero);
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        uint8_t b = static_cast<uint8_t>(text[i]);
        uint32_t cp;
        size_t extra;
        if (b < 0x80) {
            cp = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (extra > text.size() - i - 1) {
            out.push_back(0xFFFD);
            break;
        }
        bool bad = false;
        for (size_t k = 1; k <= extra; ++k) {
            uint8_t c = static_cast<uint8_t>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                bad = true;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (bad) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += extra + 1;
        // An overlong form (a character spelt with more bytes than it
        // needs, such as C0 80 for NUL) is refused, so that no text has two
        // spellings.
        static constexpr uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kShortest[extra]) {
            out.push_back(0xFFFD);
        } else if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::u16string FromLatin1(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
    return out;
}

std::u16string TrimSpaces(std::u16string_view text) {
    size_t begin = text.find_first_not_of(u' ');
    if (begin == std::u16string_view::npos)
        return {};
    size_t end = text.find_last_not_of(u' ');
    return std::u16string(text.substr(begin, end - begin + 1));
}

}  // namespace vestrel
