// Texts are UTF-16 everywhere, as the Win32 calls they end in want them.
// FormatText is the one formatter of shown texts: it understands the
// wsprintf-style formats the program's texts are written in and behaves the
// same whichever C library is underneath.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vestrel {

class FormatArg {
  public:
    enum class Kind { Signed, Unsigned, Text, Char };

    FormatArg(int v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(unsigned v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned char v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned short v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(char16_t c) : kind_(Kind::Char), unsigned_(c) {}
    FormatArg(std::u16string_view s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const std::u16string& s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const char16_t* s) : kind_(Kind::Text), text_(s ? s : u"") {}

    Kind kind() const { return kind_; }
    long long AsSigned() const {
        return kind_ == Kind::Signed ? signed_ : static_cast<long long>(unsigned_);
    }
    unsigned long long AsUnsigned() const {
        return kind_ == Kind::Signed ? static_cast<unsigned long long>(signed_) : unsigned_;
    }
    std::u16string_view AsText() const { return text_; }

  private:
    Kind kind_;
    long long signed_ = 0;
    unsigned long long unsigned_ = 0;
    std::u16string_view text_;
};

// Conversions: %d %i (32-bit signed), %u, %x, %X (32-bit), with the size
// prefixes l, h, ll and I64 (64-bit for ll and I64); %s %S (text), %c %C
// (character), %%. Flags '-' and '0', a width and, for %s, a precision.
// A missing or mismatched argument formats as nothing; unknown conversions
// are copied as they stand.
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args);

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// Bytes taken one character each (INQUIRY strings and the like).
std::u16string FromLatin1(std::string_view bytes);
// The text without the spaces at its start and end.
std::u16string TrimSpaces(std::u16string_view text);

}  // namespace vestrel
