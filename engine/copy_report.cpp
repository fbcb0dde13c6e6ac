#include "engine/copy_report.h"

#include <chrono>
#include <memory>
#include <vector>

#include "drive/file_system.h"
#include "drive/text.h"
#include "engine/image_files.h"
#include "engine/sha256.h"

namespace vestrel {

namespace {

// Days since 1970-01-01 as a proleptic Gregorian date.
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

std::string Field(std::string_view name, const std::string& value) {
    return "\"" + std::string(name) + "\":" + value;
}

std::string Number(uint64_t n) {
    return std::to_string(n);
}

std::string LetterName(char16_t letter) {
    return JsonString(std::u16string(1, letter) + u":");
}

const char* EndName(CopyEnd end) {
    switch (end) {
        case CopyEnd::Running:
            return "running";
        case CopyEnd::Made:
            return "made";
        case CopyEnd::Failed:
            return "failed";
        case CopyEnd::SourceSkipped:
            return "source skipped";
        case CopyEnd::Stopped:
            return "stopped";
    }
    return "";
}

std::string VerificationValue(Verification v) {
    switch (v) {
        case Verification::NotAsked:
            return "null";
        case Verification::Identical:
            return "\"identical\"";
        case Verification::Different:
            return "\"different\"";
        case Verification::NotDone:
            return "\"not done\"";
    }
    return "null";
}

std::string CdTextValue(CdTextCopy c) {
    switch (c) {
        case CdTextCopy::NoTexts:
            return "null";
        case CdTextCopy::Written:
            return "\"written\"";
        case CdTextCopy::RecorderCannot:
            return "\"not written: the recorder cannot record R-W\"";
        case CdTextCopy::NoLeadInStart:
            return "\"not written: the blank gives no lead-in start\"";
    }
    return "null";
}

}  // namespace

std::u16string CdTextNote(const CopyAttempt& a) {
    const char16_t* why = a.cdText == CdTextCopy::RecorderCannot ? u"the recorder cannot write it"
                          : a.cdText == CdTextCopy::NoLeadInStart
                              ? u"the blank gives no lead-in start"
                              : nullptr;
    if (!why || a.end != CopyEnd::Made)
        return {};
    return FormatText(u"%C: copy %u of %u was made without CD-Text: %s.",
                      {a.recorder, a.copy, a.copies, why});
}

bool ImageDataFingerprint(const SourceRecord& source, uint64_t& bytes, std::string& sha256,
                          std::u16string& error) {
    Sha256 sha;
    bytes = 0;
    std::vector<uint8_t> buffer(1 << 20);
    for (const TrackRecord& t : source.tracks) {
        uint32_t code = 0;
        std::unique_ptr<File> file = ActiveFileSystem().OpenRead(t.imagePath, code);
        if (!file || (!t.isData && !file->Seek(kWaveHeaderBytes))) {
            error = u"Cannot read the image file " + t.imagePath + u".";
            return false;
        }
        for (uint64_t left = t.imageBytes; left > 0;) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
            if (file->Read(buffer.data(), want, code) != want) {
                error = u"The image file " + t.imagePath + u" is shorter than its track.";
                return false;
            }
            sha.Add(buffer.data(), want);
            left -= want;
        }
        bytes += t.imageBytes;
    }
    sha256 = sha.FinishHex();
    return true;
}

std::string IsoTime(int64_t ms) {
    const int64_t seconds = (ms >= 0 ? ms : ms - 999) / 1000;
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t inDay = seconds - days * 86400;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<long long>(year), month, day, static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60),
                  static_cast<int>(ms - seconds * 1000));
    return text;
}

int64_t UnixMillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string JsonString(std::u16string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += kDigits[u >> 4];
            out += kDigits[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ReportCopyLine(const ReportSource& s, const ReportRecorder& r, const CopyAttempt& a,
                           int64_t started, int64_t ended) {
    std::string source = "{";
    source += s.drive ? Field("drive", LetterName(s.drive)) : Field("image", JsonString(s.image));
    source += "," + Field("label", JsonString(s.label));
    source += "," + Field("disc_type", JsonString(DiscTypeName(s.discType)));
    source += "," + Field("blocks", Number(s.blocks));
    source += "," + Field("bytes", Number(s.bytes));
    source += "," + Field("sha256", "\"" + s.sha256 + "\"");
    if (s.drive) {
        source += "," + Field("hidden_audio_unread", Number(s.hiddenAudioUnread));
        source += "," + Field("cd_text_unread", s.cdTextUnread ? "true" : "false");
    }
    source += "}";
    const std::string recorder = "{" + Field("drive", LetterName(r.drive)) + "," +
                                 Field("vendor", JsonString(r.vendor)) + "," +
                                 Field("product", JsonString(r.product)) + "}";
    std::string line = "{" + Field("record", "\"copy\"");
    line += "," + Field("source", source);
    line += "," + Field("recorder", recorder);
    line += "," + Field("blank", JsonString(DiscTypeName(a.blankType)));
    line += "," + Field("write_speed_kbs", Number(a.writeSpeed));
    line += "," + Field("copy", Number(a.copy));
    line += "," + Field("copies", Number(a.copies));
    line += "," + Field("start", "\"" + IsoTime(started) + "\"");
    line += "," + Field("end", "\"" + IsoTime(ended) + "\"");
    line += "," + Field("outcome", "\"" + std::string(EndName(a.end)) + "\"");
    line += "," + Field("status", JsonString(a.status));
    line += "," + Field("verified", a.verification == Verification::Identical ||
                                            a.verification == Verification::Different
                                        ? "true"
                                        : "false");
    line += "," + Field("verification", VerificationValue(a.verification));
    line += "," + Field("cd_text", CdTextValue(a.cdText));
    return line + "}\n";
}

std::string ReportSummaryLine(const ReportSummary& s) {
    std::string line = "{" + Field("record", "\"summary\"");
    line += "," + Field("copies_asked", Number(s.copiesAsked));
    line += "," + Field("copies_made", Number(s.copiesMade));
    line += "," + Field("attempts", Number(s.attempts));
    line += "," + Field("start", "\"" + IsoTime(s.started) + "\"");
    line += "," + Field("end", "\"" + IsoTime(s.ended) + "\"");
    line += "," + Field("all_copied", s.allCopied ? "true" : "false");
    line += "," + Field("text", JsonString(s.text));
    return line + "}\n";
}

std::string ReportResumeLine(std::u16string_view journal, uint32_t copiesLeft, int64_t when) {
    return "{" + Field("record", "\"resume\"") + "," + Field("journal", JsonString(journal)) + "," +
           Field("copies_left", Number(copiesLeft)) + "," +
           Field("time", "\"" + IsoTime(when) + "\"") + "}\n";
}

}  // namespace vestrel
