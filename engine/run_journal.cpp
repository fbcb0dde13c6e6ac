#include "engine/run_journal.h"

#include <charconv>

#include "drive/text.h"
#include "engine/sha256.h"

namespace vestrel {

namespace {

constexpr std::string_view kHeader = "vestrel journal 1";

// Splits off the next space-separated word of `rest`.
std::string_view Word(std::string_view& rest) {
    const size_t end = rest.find(' ');
    std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return word;
}

template <typename T>
bool Number(std::string_view text, T& value) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool IsHexDigest(std::string_view text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool IsMedia(std::string_view text) {
    return text == "smallest" || text == "cd" || text == "dvd" || text == "bd";
}

bool ParseLine(std::string_view line, Journal& j, std::string& why) {
    std::string_view rest = line;
    const std::string_view kind = Word(rest);
    if (kind == "option") {
        const std::string_view name = Word(rest);
        if (name == "copies") {
            if (!Number(rest, j.copies) || j.copies < 1 || j.copies > 99)
                return why = "copies must be 1 to 99", false;
        } else if (name == "verify") {
            if (rest != "0" && rest != "1")
                return why = "verify must be 0 or 1", false;
            j.verify = rest == "1";
        } else if (name == "report") {
            j.report = FromUtf8(rest);
        } else if (name == "own-images") {
            if (rest != "0" && rest != "1")
                return why = "own-images must be 0 or 1", false;
            j.ownImages = rest == "1";
        } else {
            return why = "unknown option", false;
        }
        return true;
    }
    if (kind == "file") {
        JournalFile f;
        if (!Number(Word(rest), f.size))
            return why = "bad file size", false;
        const std::string_view digest = Word(rest);
        if (!IsHexDigest(digest))
            return why = "bad SHA-256", false;
        if (rest.empty())
            return why = "file without a path", false;
        f.sha256 = digest;
        f.path = FromUtf8(rest);
        j.files.push_back(std::move(f));
        return true;
    }
    if (kind == "source") {
        uint32_t index = 0;
        if (!Number(Word(rest), index) || index != j.sources.size())
            return why = "sources out of order", false;
        JournalSource source;
        source.media = Word(rest);
        if (!IsMedia(source.media))
            return why = "unknown media", false;
        if (rest.empty())
            return why = "source without an image", false;
        source.image = FromUtf8(rest);
        j.sources.push_back(std::move(source));
        return true;
    }
    if (kind == "made") {
        JournalMade m;
        if (!Number(Word(rest), m.source) || m.source >= j.sources.size())
            return why = "made copy of an unknown source", false;
        const std::string_view recorder = Word(rest);
        if (recorder.size() != 1 || recorder[0] < 'A' || recorder[0] > 'Z')
            return why = "bad recorder letter", false;
        m.recorder = static_cast<char16_t>(recorder[0]);
        if (!Number(Word(rest), m.copy) || m.copy < 1)
            return why = "bad copy number", false;
        if (!rest.empty() && (rest.front() != '{' || rest.back() != '}'))
            return why = "bad report line", false;
        if (!rest.empty())
            m.reportLine = std::string(rest) + "\n";
        j.made.push_back(m);
        return true;
    }
    return why = "unknown line", false;
}

}  // namespace

std::string JournalPlanText(const Journal& j) {
    std::string text = std::string(kHeader) + "\n";
    text += "option copies " + std::to_string(j.copies) + "\n";
    text += std::string("option verify ") + (j.verify ? "1" : "0") + "\n";
    if (!j.report.empty())
        text += "option report " + ToUtf8(j.report) + "\n";
    if (j.ownImages)
        text += "option own-images 1\n";
    for (const JournalFile& f : j.files)
        text += "file " + std::to_string(f.size) + " " + f.sha256 + " " + ToUtf8(f.path) + "\n";
    for (size_t i = 0; i < j.sources.size(); ++i)
        text += "source " + std::to_string(i) + " " + j.sources[i].media + " " +
                ToUtf8(j.sources[i].image) + "\n";
    return text;
}

std::string JournalMadeLine(const JournalMade& m) {
    std::string line = "made " + std::to_string(m.source) + " " +
                       ToUtf8(std::u16string(1, m.recorder)) + " " + std::to_string(m.copy);
    if (!m.reportLine.empty() && m.reportLine.back() == '\n')
        line += " " + m.reportLine.substr(0, m.reportLine.size() - 1);
    return line + "\n";
}

bool ParseJournal(std::string_view text, Journal& journal, std::string& error) {
    journal = Journal();
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            break;  // cut short while being written
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        ++lineNumber;
        std::string why;
        if (lineNumber == 1) {
            if (line != kHeader) {
                error = "line 1: not a vestrel journal";
                return false;
            }
        } else if (line.find('\r') != std::string_view::npos || line.find('\0') != line.npos) {
            why = "stray control character";
        } else {
            ParseLine(line, journal, why);
        }
        if (!why.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    if (lineNumber == 0) {
        error = "line 1: not a vestrel journal";
        return false;
    }
    if (journal.sources.empty()) {
        error = "the journal names no source";
        return false;
    }
    return true;
}

uint32_t MadeCopies(const Journal& journal, uint32_t s) {
    uint32_t n = 0;
    for (const JournalMade& m : journal.made)
        n += m.source == s;
    return n;
}

bool Fingerprint(std::u16string_view path, uint64_t& size, std::string& sha256, uint32_t& error) {
    std::unique_ptr<File> file = ActiveFileSystem().OpenRead(path, error);
    if (!file)
        return false;
    Sha256 sha;
    std::vector<uint8_t> buffer(1 << 20);
    size = 0;
    for (;;) {
        uint32_t readError = 0;
        const size_t got = file->Read(buffer.data(), buffer.size(), readError);
        if (readError != 0) {
            error = readError;
            return false;
        }
        if (got == 0)
            break;
        sha.Add(buffer.data(), got);
        size += got;
    }
    sha256 = sha.FinishHex();
    return true;
}

bool DurableLines::Open(std::u16string_view path, uint32_t& error) {
    file_ = ActiveFileSystem().OpenAppend(path, error);
    return file_ != nullptr;
}

bool DurableLines::Append(const std::string& line, uint32_t& error) {
    return Write(line, error) && Flush(error);
}

bool DurableLines::Write(const std::string& line, uint32_t& error) {
    return file_ && file_->Write(reinterpret_cast<const uint8_t*>(line.data()), line.size(), error);
}

bool DurableLines::Flush(uint32_t& error) {
    return file_ && file_->Flush(error);
}

bool ReadSmallFile(std::u16string_view path, size_t limit, std::string& text, uint32_t& error) {
    std::unique_ptr<File> file = ActiveFileSystem().OpenRead(path, error);
    if (!file)
        return false;
    text.assign(limit + 1, '\0');
    const size_t got = file->Read(reinterpret_cast<uint8_t*>(text.data()), text.size(), error);
    if (error != 0 || got > limit)
        return false;
    text.resize(got);
    return true;
}

}  // namespace vestrel
