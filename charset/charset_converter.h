// Converts text between the character sets the update check needs, named
// as the check names them: "iso-8859-1", "unicode" (UTF-16, little-endian,
// written without a byte-order mark) and "us-ascii". A character the
// target cannot hold becomes "?"; a malformed sequence in the source counts
// as one such character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drive/file_system.h"

namespace vestrel::charset {

enum class Charset { None, Latin1, Utf16Le, Ascii };

// The charset a name stands for, ignoring case; None when unknown.
Charset CharsetNamed(std::string_view name);

// Converts in pieces, so that a file of any size goes through a bounded
// buffer; a character split between two pieces is joined.
class Conversion {
  public:
    Conversion(Charset from, Charset to) : from_(from), to_(to) {}
    // Appends the converted bytes of the next piece of input.
    void Feed(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
    // Appends what an unfinished character at the end of the input becomes.
    void Finish(std::vector<uint8_t>& out);

  private:
    void Emit(char32_t c, std::vector<uint8_t>& out) const;
    void Decode(uint8_t byte, std::vector<uint8_t>& out);

    Charset from_;
    Charset to_;
    bool firstUnit_ = true;
    int pendingByte_ = -1;      // the first byte of a UTF-16 unit
    char16_t pendingHigh_ = 0;  // a high surrogate waiting for its partner
};

class CharsetConverter {
  public:
    // False (and the charset stays unset) for an unknown name.
    bool SetSourceCharset(std::string_view name);
    bool SetTargetCharset(std::string_view name);

    // The whole input converted; false when a charset is unset.
    bool Convert(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) const;
    // Reads the input file and writes the converted text to the output
    // file (replacing it) through the active file system; true only when
    // every byte was read and written.
    bool ConvertFile(std::u16string_view inPath, std::u16string_view outPath) const;

  private:
    Charset from_ = Charset::None;
    Charset to_ = Charset::None;
};

}  // namespace vestrel::charset
