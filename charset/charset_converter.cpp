#include "charset/charset_converter.h"

namespace vestrel::charset {

namespace {

constexpr char32_t kUnreadable = 0xFFFD;
constexpr size_t kPieceBytes = 64 * 1024;

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}

void PutUnit(char16_t unit, std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

}  // namespace

Charset CharsetNamed(std::string_view name) {
    if (SameName(name, "iso-8859-1"))
        return Charset::Latin1;
    if (SameName(name, "unicode"))
        return Charset::Utf16Le;
    if (SameName(name, "us-ascii"))
        return Charset::Ascii;
    return Charset::None;
}

void Conversion::Emit(char32_t c, std::vector<uint8_t>& out) const {
    switch (to_) {
        case Charset::Latin1:
            out.push_back(c <= 0xFF ? static_cast<uint8_t>(c) : '?');
            break;
        case Charset::Ascii:
            out.push_back(c <= 0x7F ? static_cast<uint8_t>(c) : '?');
            break;
        case Charset::Utf16Le:
            if (c > 0xFFFF) {
                c -= 0x10000;
                PutUnit(static_cast<char16_t>(0xD800 + (c >> 10)), out);
                PutUnit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)), out);
            } else {
                PutUnit(static_cast<char16_t>(c), out);
            }
            break;
        case Charset::None:
            break;
    }
}

void Conversion::Decode(uint8_t byte, std::vector<uint8_t>& out) {
    if (from_ == Charset::Latin1) {
        Emit(byte, out);
        return;
    }
    if (from_ == Charset::Ascii) {
        Emit(byte <= 0x7F ? byte : kUnreadable, out);
        return;
    }
    if (pendingByte_ < 0) {
        pendingByte_ = byte;
        return;
    }
    const auto unit = static_cast<char16_t>(pendingByte_ | (byte << 8));
    pendingByte_ = -1;
    const bool first = firstUnit_;
    firstUnit_ = false;
    if (first && unit == 0xFEFF)
        return;
    if (pendingHigh_) {
        const char16_t high = pendingHigh_;
        pendingHigh_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            Emit(0x10000 + ((char32_t{high} - 0xD800) << 10) + (unit - 0xDC00), out);
            return;
        }
        Emit(kUnreadable, out);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF)
        pendingHigh_ = unit;
    else
        Emit(unit >= 0xDC00 && unit <= 0xDFFF ? kUnreadable : unit, out);
}

void Conversion::Feed(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < size; ++i)
        Decode(data[i], out);
}

void Conversion::Finish(std::vector<uint8_t>& out) {
    if (pendingHigh_ || pendingByte_ >= 0)
        Emit(kUnreadable, out);
    pendingHigh_ = 0;
    pendingByte_ = -1;
}

bool CharsetConverter::SetSourceCharset(std::string_view name) {
    from_ = CharsetNamed(name);
    return from_ != Charset::None;
}

bool CharsetConverter::SetTargetCharset(std::string_view name) {
    to_ = CharsetNamed(name);
    return to_ != Charset::None;
}

bool CharsetConverter::Convert(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) const {
    out.clear();
    if (from_ == Charset::None || to_ == Charset::None)
        return false;
    Conversion conversion(from_, to_);
    conversion.Feed(in.data(), in.size(), out);
    conversion.Finish(out);
    return true;
}

bool CharsetConverter::ConvertFile(std::u16string_view inPath, std::u16string_view outPath) const {
    if (from_ == Charset::None || to_ == Charset::None)
        return false;
    FileSystem& files = ActiveFileSystem();
    uint32_t error = 0;
    std::unique_ptr<File> in = files.OpenRead(inPath, error);
    uint64_t size = 0;
    if (!in || !in->Size(size))
        return false;
    std::unique_ptr<File> out = files.CreateNew(outPath, error);
    if (!out)
        return false;
    Conversion conversion(from_, to_);
    std::vector<uint8_t> piece(kPieceBytes);
    std::vector<uint8_t> converted;
    uint64_t done = 0;
    while (done < size) {
        const size_t got = in->Read(piece.data(), piece.size(), error);
        if (got == 0)
            return false;
        done += got;
        converted.clear();
        conversion.Feed(piece.data(), got, converted);
        if (!converted.empty() && !out->Write(converted.data(), converted.size(), error))
            return false;
    }
    converted.clear();
    conversion.Finish(converted);
    return converted.empty() || out->Write(converted.data(), converted.size(), error);
}

}  // namespace vestrel::charset
