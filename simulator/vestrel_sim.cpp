// vestrel-sim: shows the simulated drive bay as the drive layer sees it,
// then reads one sample disc through the transport.
//
//   vestrel-sim [--farm FILE]
//
// Without --farm it builds the built-in bay from the sample discs made by
// the build (VESTREL_SAMPLES names another sample folder).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "drive/capabilities.h"
#include "drive/disc_types.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/scsi_text.h"
#include "drive/text.h"
#include "simulator/simulator.h"
#include "tools/bay_options.h"

using namespace vestrel;

namespace {

std::string Utf8(const std::u16string& s) {
    return ToUtf8(s);
}

struct Listed {
    char16_t letter;
    bool usable;
    DiscType disc;
};

Listed ListDrive(char16_t letter) {
    Listed out{letter, false, disc::None};
    std::printf("%c:  ", static_cast<char>(letter));
    ScsiResult tur = SendTestUnitReady(letter);
    if (!tur.ok() && !IsNoMedium(tur) && !IsBecomingReady(tur)) {
        std::printf("unusable: Test Unit Ready gave %s (status 0x%X, OS error %u)\n",
                    Utf8(ScsiStatusName(tur.status)).c_str(), tur.status, tur.osError);
        return out;
    }
    std::vector<uint8_t> inquiry(kInquiryLength);
    SendInquiry(letter, inquiry);
    std::vector<uint8_t> config(kGetConfigurationLength);
    ScsiResult r = SendGetConfiguration(letter, config);
    ConfigurationHeader header = ReadConfigurationHeader(ByteReader(config.data(), config.size()));
    if (!r.ok() || header.dataLength <= 4) {
        std::printf("%-8s  not a real optical drive (no features)\n",
                    Utf8(InquiryVendor(ByteReader(inquiry.data(), inquiry.size()))).c_str());
        return out;
    }
    std::optional<uint16_t> top = HighestProfile(ByteReader(config.data(), config.size()));
    DriveCapabilities caps = ReadDriveCapabilities(letter);
    out.usable = true;
    out.disc = ProfileToDiscType(header.currentProfile);
    std::string discText = Utf8(DiscTypeName(out.disc));
    if (out.disc != disc::None) {
        std::vector<uint8_t> info(kDiscInformationLength);
        SendReadDiscInformation(letter, info);
        DiscInformation di = ReadDiscInformationReply(ByteReader(info.data(), info.size()));
        discText += di.discStatus == kDiscStatusEmpty ? " (blank)" : "";
        std::u16string label;
        if (ActiveDriveLetters().VolumeLabel(letter, label) && !label.empty())
            discText += " \"" + Utf8(label) + "\"";
    }
    std::printf("%-8s  %-10s  %s\n",
                Utf8(InquiryVendor(ByteReader(inquiry.data(), inquiry.size()))).c_str(),
                Utf8(DiscTypeName(ProfileToDiscType(top.value_or(0)))).c_str(),
                Utf8(InquiryProduct(ByteReader(inquiry.data(), inquiry.size()))).c_str());
    std::printf("    reads:  %s\n    writes: %s\n    disc:   %s\n",
                Utf8(DescribeTypeList(caps.reads)).c_str(),
                Utf8(DescribeTypeList(caps.writes)).c_str(), discText.c_str());
    return out;
}

// Lists the root folder of the ISO 9660 file system on a data track.
void ListRootFolder(char16_t letter, uint32_t firstLba) {
    std::vector<uint8_t> pvd(2048);
    if (!SendRead10(letter, firstLba + 16, 1, pvd).ok()) {
        std::printf("    cannot read the volume descriptor\n");
        return;
    }
    ByteReader v(pvd.data(), pvd.size());
    std::string volumeId(reinterpret_cast<const char*>(pvd.data() + 40), 32);
    std::printf("    ISO 9660 volume \"%s\", %u blocks\n",
                volumeId.substr(0, volumeId.find_last_not_of(' ') + 1).c_str(), v.Le32(80));
    uint32_t rootLba = v.Le32(156 + 2);
    uint32_t rootBytes = v.Le32(156 + 10);
    uint32_t blocks = std::min<uint32_t>((rootBytes + 2047) / 2048, 16);
    std::vector<uint8_t> dir(size_t{blocks} * 2048);
    if (!SendRead10(letter, firstLba + rootLba, static_cast<uint16_t>(blocks), dir).ok())
        return;
    ByteReader d(dir.data(), dir.size());
    for (size_t at = 0; at < dir.size();) {
        uint8_t length = d.U8(at);
        if (length == 0) {
            at = (at / 2048 + 1) * 2048;  // records do not cross sector ends
            continue;
        }
        uint8_t nameLength = d.U8(at + 32);
        if (!d.Has(at + 33, nameLength) || length < 33 + nameLength)
            break;
        std::string name(reinterpret_cast<const char*>(dir.data() + at + 33), nameLength);
        bool folder = d.Bit(at + 25, 1);
        if (name != std::string(1, '\0') && name != std::string(1, '\1'))
            std::printf("      %-32s %10u bytes%s\n", name.c_str(), d.Le32(at + 10),
                        folder ? "  (folder)" : "");
        at += length;
    }
}

void ReadSample(char16_t letter) {
    std::vector<uint8_t> toc(kTocLength);
    if (!SendReadToc(letter, false, toc).ok()) {
        std::printf("%c: the table of contents cannot be read\n", static_cast<char>(letter));
        return;
    }
    Toc t = ReadTocReply(ByteReader(toc.data(), toc.size()));
    std::printf("\nReading the disc in %c: (%zu tracks)\n", static_cast<char>(letter),
                t.entries.empty() ? 0 : t.entries.size() - 1);
    for (size_t i = 0; i + 1 < t.entries.size(); ++i) {
        const TocEntry& e = t.entries[i];
        uint32_t first = e.address;
        uint32_t last = t.entries[i + 1].address - 1;
        bool data = e.control & 0x4;
        uint32_t sectorSize = data ? 2048 : 2352;
        auto start = std::chrono::steady_clock::now();
        uint64_t sum = 0;
        uint64_t bytes = 0;
        std::vector<uint8_t> buffer(25 * sectorSize);
        for (uint32_t lba = first; lba <= last; lba += 25) {
            uint32_t n = std::min<uint32_t>(25, last - lba + 1);
            ScsiResult r = data ? SendRead10(letter, lba, static_cast<uint16_t>(n), buffer)
                                : SendReadCd(letter, lba, n, buffer);
            if (!r.ok()) {
                std::printf("  read error at %u: sense %X/%02X/%02X\n", lba, r.senseKey, r.asc,
                            r.ascq);
                return;
            }
            for (size_t b = 0; b < n * sectorSize; ++b)
                sum = sum * 31 + buffer[b];
            bytes += n * sectorSize;
        }
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("  track %u: %s, LBA %u..%u, %llu bytes read in %.2f s, checksum %016llx\n",
                    e.trackNumber, data ? "data" : "audio", first, last,
                    static_cast<unsigned long long>(bytes), seconds,
                    static_cast<unsigned long long>(sum));
        if (data)
            ListRootFolder(letter, first);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* farm = nullptr;
    if (argc == 3 && std::string(argv[1]) == "--farm") {
        farm = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: vestrel-sim [--farm FILE]\n");
        return 2;
    }
    sim::Simulator bay;
    std::string error;
    if (!LoadBay(bay, farm, argv[0], error)) {
        std::fprintf(stderr, "vestrel-sim: %s\n", error.c_str());
        return 1;
    }
    bay.Install();
    std::printf("Virtual drives:\n");
    std::vector<Listed> drives;
    uint32_t letters = ActiveDriveLetters().LogicalDrives();
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        if ((letters >> (letter - u'A')) & 1 &&
            ActiveDriveLetters().DriveType(letter) == DriveKind::CdRom)
            drives.push_back(ListDrive(letter));
    }
    bool read = false;
    for (const Listed& d : drives) {
        if (d.usable && d.disc != disc::None && !read) {
            std::vector<uint8_t> info(kDiscInformationLength);
            SendReadDiscInformation(d.letter, info);
            if (ReadDiscInformationReply(ByteReader(info.data(), info.size())).discStatus != 0) {
                ReadSample(d.letter);
                read = true;
            }
        }
    }
    if (!read)
        std::printf("\nNo drive holds a recorded disc to read.\n");
    return 0;
}
