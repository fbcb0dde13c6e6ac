// Each drive model answers the commands of the command table the way the
// system reads them: identification, profiles and features, capability
// masks, mode pages, disc information, TOC, speeds and tray sense.
#include "drive/capabilities.h"
#include "drive/text.h"
#include "tests/simulator/sim_fixture.h"
#include "tests/support/scripted_transport.h"

namespace vestrel::sim::testing {
namespace {

struct ModelCase {
    const char* model;
    const char* vendor;
    uint16_t topProfile;
    DiscTypeMask reads;
    DiscTypeMask writes;
    bool bufferUnderrunFree;
};

const ModelCase kModels[] = {
    {"cd-rom-reader", "LUMEN", 0x0008, 0x7, 0x0, false},
    {"dvd-rom-reader", "LUMEN", 0x0010, 0xFF, 0x0, false},
    {"cd-rw-recorder", "KESTREL", 0x000A, 0x7, 0x6, true},
    {"dvd-rw-dl-recorder", "ORBITA", 0x002B, 0x17FF, 0x16F6, true},
    {"bd-re-recorder", "ORBITA", 0x0043, 0x3817FF, 0x3016F6, true},
    {"hd-dvd-drive", "TOSHIKO", 0x0053, 0x1E67F, 0x1C676, true},
};

class DriveModels : public ::testing::TestWithParam<ModelCase> {};

TEST_P(DriveModels, AnswerAsTheSystemReadsThem) {
    const ModelCase& m = GetParam();
    Bay bay(BaySpec().Drive('E', m.model));

    std::vector<uint8_t> inquiry(kInquiryLength);
    ASSERT_TRUE(SendInquiry(u'E', inquiry).ok());
    EXPECT_EQ(inquiry[0], 0x05);
    std::u16string vendor = FromUtf8(m.vendor);
    vendor.resize(8, u' ');  // the field is padded with spaces
    EXPECT_EQ(InquiryVendor(ByteReader(inquiry.data(), inquiry.size())), vendor);

    std::vector<uint8_t> config(kGetConfigurationLength);
    ASSERT_TRUE(SendGetConfiguration(u'E', config).ok());
    ByteReader reply(config.data(), config.size());
    EXPECT_EQ(HighestProfile(reply), m.topProfile);
    EXPECT_EQ(ReadConfigurationHeader(reply).currentProfile, 0) << "no disc";
    std::vector<Feature> features = ReadFeatures(reply);
    ASSERT_FALSE(features.empty());
    EXPECT_EQ(features.front().code, 0x0000);
    for (size_t i = 1; i < features.size(); ++i)
        EXPECT_LT(features[i - 1].code, features[i].code) << "features in ascending order";

    DriveCapabilities caps = ReadDriveCapabilities(u'E');
    EXPECT_EQ(caps.reads, m.reads) << std::hex << caps.reads;
    EXPECT_EQ(caps.writes, m.writes) << std::hex << caps.writes;

    std::vector<uint8_t> page(kCapabilitiesPageLongLength);
    ASSERT_TRUE(SendModeSenseCapabilities(u'E', page).ok());
    EXPECT_EQ(page[8], 0x2A);
    EXPECT_EQ(ReadCapabilitiesPage(ByteReader(page.data(), page.size())).bufferUnderrunFree,
              m.bufferUnderrunFree);

    std::vector<uint8_t> parameters(kWriteParametersPageLength);
    ScsiResult r = SendModeSenseWriteParameters(u'E', parameters);
    if (m.writes) {
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(parameters[8], 0x05);
        EXPECT_EQ(parameters[9], 0x32);
        EXPECT_EQ((parameters[0] << 8 | parameters[1]) + 2, 8 + 52);
    } else {
        EXPECT_TRUE(Sensed(r, 5, 0x24, 0)) << "a reader has no write parameters page";
    }
}

INSTANTIATE_TEST_SUITE_P(All, DriveModels, ::testing::ValuesIn(kModels), [](const auto& info) {
    std::string name = info.param.model;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(DriveModels, TraySenseAndTheDiscInTheDrive) {
    vestrel::testing::CountingClock clock;
    TempFolder folder;
    Bay bay(BaySpec()
                .Iso("movie", "DVD-ROM", PatternBytes(64 * 2048, 1))
                .Drive('E', "dvd-rw-dl-recorder")
                .With("becoming-ready = 1500"),
            folder.path());
    Simulator& sim = bay.simulator;
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'E'), 2, 0x3A, 0x01)) << "closed, empty";
    sim.EjectMedium(u'E');
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'E'), 2, 0x3A, 0x02)) << "open";
    std::string error;
    ASSERT_TRUE(sim.InsertDisc(u'E', sim.MakeDisc("movie", error)));
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'E'), 2, 0x3A, 0x02)) << "a disc on an open tray";
    sim.CloseTray(u'E');
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'E'), 2, 0x04, 0x01)) << "becoming ready";
    std::vector<uint8_t> config(kGetConfigurationLength);
    ASSERT_TRUE(SendGetConfiguration(u'E', config).ok());
    EXPECT_EQ(ReadConfigurationHeader(ByteReader(config.data(), config.size())).currentProfile, 0);

    clock.now += 1500;
    EXPECT_TRUE(SendTestUnitReady(u'E').ok());
    ASSERT_TRUE(SendGetConfiguration(u'E', config).ok());
    EXPECT_EQ(ReadConfigurationHeader(ByteReader(config.data(), config.size())).currentProfile,
              0x0010);
    std::vector<uint8_t> info(kDiscInformationLength);
    ASSERT_TRUE(SendReadDiscInformation(u'E', info).ok());
    DiscInformation di = ReadDiscInformationReply(ByteReader(info.data(), info.size()));
    EXPECT_EQ(di.discStatus, 2);
    EXPECT_FALSE(di.erasable);
    Toc toc = ReadToc(u'E');
    ASSERT_EQ(toc.entries.size(), 2u);
    EXPECT_EQ(toc.entries[0].control, 4);
    EXPECT_EQ(toc.entries[1].address, 64u);
    // A pressed disc takes no recording: no write speeds for it.
    std::vector<uint8_t> performance(kPerformanceLength);
    ASSERT_TRUE(SendGetPerformance(u'E', performance).ok());
    EXPECT_TRUE(ReadWriteSpeeds(ByteReader(performance.data(), performance.size())).empty());
}

TEST(DriveModels, BlanksReportTheirProfileAndSpeeds) {
    Bay bay(BaySpec().Drive('G', "bd-re-recorder"));
    Simulator& sim = bay.simulator;
    struct Blank {
        uint16_t profile;
        bool erasable;
        uint32_t fastest;
    };
    for (Blank b :
         {Blank{0x0009, false, 8467}, Blank{0x000A, true, 8467}, Blank{0x001B, false, 22160},
          Blank{0x0014, true, 22160}, Blank{0x0041, false, 53940}, Blank{0x0043, true, 53940}}) {
        ASSERT_TRUE(sim.LoadDisc(u'G', sim.MakeBlank(b.profile)));
        std::vector<uint8_t> config(kGetConfigurationLength);
        ASSERT_TRUE(SendGetConfiguration(u'G', config).ok());
        EXPECT_EQ(ReadConfigurationHeader(ByteReader(config.data(), config.size())).currentProfile,
                  b.profile);
        std::vector<uint8_t> info(kDiscInformationLength);
        ASSERT_TRUE(SendReadDiscInformation(u'G', info).ok());
        DiscInformation di = ReadDiscInformationReply(ByteReader(info.data(), info.size()));
        EXPECT_EQ(di.discStatus, 0) << b.profile;
        EXPECT_EQ(di.erasable, b.erasable) << b.profile;
        std::vector<uint8_t> performance(kPerformanceLength);
        ASSERT_TRUE(SendGetPerformance(u'G', performance).ok());
        auto speeds = ReadWriteSpeeds(ByteReader(performance.data(), performance.size()));
        ASSERT_GE(speeds.size(), 2u);
        EXPECT_EQ(speeds[0].writeSpeed, b.fastest);
        EXPECT_GT(speeds[0].writeSpeed, speeds[1].writeSpeed);
    }
}

TEST(DriveModels, UnknownDiscTypeAndDevicesThatAreNotDrives) {
    TempFolder folder;
    Bay bay(BaySpec()
                .Iso("odd", "0x0020", PatternBytes(32 * 2048, 2))
                .Drive('E', "dvd-rom-reader", "odd")
                .Drive('H', "no-features")
                .Drive('I', "dvd-rom-reader")
                .With("open = fails")
                .Drive('J', "dvd-rom-reader")
                .With("pass-through = fails 1117"),
            folder.path());
    std::vector<uint8_t> config(kGetConfigurationLength);
    ASSERT_TRUE(SendGetConfiguration(u'E', config).ok());
    uint16_t current =
        ReadConfigurationHeader(ByteReader(config.data(), config.size())).currentProfile;
    EXPECT_EQ(ProfileToDiscType(current), disc::Unknown);

    std::vector<uint8_t> inquiry(kInquiryLength);
    EXPECT_TRUE(SendInquiry(u'H', inquiry).ok());
    EXPECT_TRUE(SendGetConfiguration(u'H', config).ok());
    EXPECT_EQ(ReadConfigurationHeader(ByteReader(config.data(), config.size())).dataLength, 4);

    ScsiResult open = SendTestUnitReady(u'I');
    EXPECT_EQ(open.status, StatusOpenFailed);
    ScsiResult passThrough = SendTestUnitReady(u'J');
    EXPECT_EQ(passThrough.status, StatusIoControlFailed);
    EXPECT_EQ(passThrough.osError, 1117u);
    EXPECT_EQ(bay.simulator.DriveType(u'I'), DriveKind::CdRom);
    EXPECT_EQ(SendTestUnitReady(u'K').status, StatusOpenFailed) << "no drive at all";
}

}  // namespace
}  // namespace vestrel::sim::testing
