// The bay around the drives: volume events, trays that are held shut, the
// operator's policy, injected faults, transfer time, and the fixed drives
// backed by host folders.
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/write_parameters.h"
#include "engine/write_speed.h"
#include "tests/simulator/sim_fixture.h"
#include "tests/support/scripted_transport.h"

namespace vestrel::sim::testing {
namespace {

using vestrel::testing::CountingClock;

struct EventLog {
    explicit EventLog(Simulator& sim) {
        sim.Subscribe([this](const VolumeEvent& e) { events.push_back(e); });
    }
    std::vector<VolumeEvent> events;
    bool Saw(VolumeEventKind kind, char16_t letter) const {
        for (const VolumeEvent& e : events) {
            if (e.kind == kind && e.letter == letter)
                return true;
        }
        return false;
    }
};

// A DVD recorder F: whose transfers take their time.
BaySpec RealTimeRecorder() {
    return BaySpec().Drive('F', "dvd-rw-dl-recorder").With("timing = real");
}

TEST(Bay, MediaEventsFollowTheTrayAndTheBecomingReadyTime) {
    CountingClock clock;
    Bay bay(BaySpec().Drive('E', "dvd-rw-dl-recorder").With("becoming-ready = 800"));
    Simulator& sim = bay.simulator;
    EventLog log(sim);
    ASSERT_TRUE(sim.LoadDisc(u'E', sim.MakeBlank(0x001B)));
    sim.Pump();
    EXPECT_TRUE(log.events.empty()) << "the disc is not ready yet";
    clock.now += 800;
    sim.Pump();
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].kind, VolumeEventKind::MediaArrival);

    sim.EjectMedium(u'E');
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1].kind, VolumeEventKind::MediaRemoval);

    // A disc taken out before it became ready never arrived, nor leaves.
    sim.CloseTray(u'E');
    sim.EjectMedium(u'E');
    clock.now += 1000;
    sim.Pump();
    EXPECT_EQ(log.events.size(), 2u);

    EXPECT_TRUE(sim.DetachDrive(u'E'));
    EXPECT_EQ(sim.LogicalDrives(), 0u);
    EXPECT_EQ(SendTestUnitReady(u'E').status, StatusOpenFailed);
    EXPECT_TRUE(sim.AttachDrive(u'E'));
    EXPECT_EQ(sim.LogicalDrives(), 1u << 4);
    EXPECT_TRUE(log.Saw(VolumeEventKind::DeviceRemoval, u'E'));
    EXPECT_TRUE(log.Saw(VolumeEventKind::DeviceArrival, u'E'));
}

TEST(Bay, APreventedTrayStaysShut) {
    Bay bay(BaySpec().Drive('E', "dvd-rom-reader"));
    Simulator& sim = bay.simulator;
    uint8_t prevent[6] = {0x1E, 0, 0, 0, 1, 0};
    ASSERT_TRUE(SendScsiCommand(u'E', prevent, 6, 1, nullptr, 0, 15).ok());
    sim.EjectMedium(u'E');
    EXPECT_FALSE(sim.Drive(u'E')->State().trayOpen);
    uint8_t eject[6] = {0x1B, 0, 0, 0, 0x02, 0};
    EXPECT_TRUE(Sensed(SendScsiCommand(u'E', eject, 6, 1, nullptr, 0, 15), 5, 0x53, 0x02));
    EXPECT_TRUE(AllowMediumRemoval(u'E'));
    EXPECT_TRUE(SendScsiCommand(u'E', eject, 6, 1, nullptr, 0, 15).ok());
    EXPECT_TRUE(sim.Drive(u'E')->State().trayOpen);
    uint8_t load[6] = {0x1B, 0, 0, 0, 0x03, 0};
    EXPECT_TRUE(SendScsiCommand(u'E', load, 6, 1, nullptr, 0, 15).ok());
    EXPECT_FALSE(sim.Drive(u'E')->State().trayOpen);
}

TEST(Bay, TheOperatorSuppliesBlanksAndTakesFinishedCopies) {
    CountingClock clock;
    TempFolder folder;
    Bay bay(BaySpec()
                .Iso("data", "DVD-ROM", PatternBytes(48 * 2048, 3))
                .Drive('D', "dvd-rom-reader")
                .With("tray = open")
                .Drive('F', "dvd-rw-dl-recorder")
                .Operator("load = D data 500")
                .Blanks('F', "DVD+R")
                .With("blank-delay = 2000")
                .With("close-trays-after = 300")
                .TakeFinished()
                .With("finished = copies"),
            folder.path());
    Simulator& sim = bay.simulator;
    WriteFile(folder / "copies" / "F-copy1.iso", {1, 2, 3});  // from an earlier run
    clock.now += 500;
    sim.Pump();
    EXPECT_EQ(sim.Drive(u'D')->State().discName, "data");
    EXPECT_FALSE(sim.Drive(u'D')->State().trayOpen);

    sim.EjectMedium(u'F');
    clock.now += 1999;
    sim.Pump();
    EXPECT_TRUE(sim.Drive(u'F')->State().trayOpen) << "the operator is not there yet";
    clock.now += 1;
    sim.Pump();
    DriveState f = sim.Drive(u'F')->State();
    EXPECT_FALSE(f.trayOpen);
    EXPECT_EQ(f.currentProfile, 0x001B);

    RecordCopy(u'F', {{true, PatternBytes(48 * 2048, 4)}}, disc::DvdPlusR);
    sim.EjectMedium(u'F');
    std::vector<FinishedCopy> copies = sim.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].recorder, u'F');
    EXPECT_EQ(copies[0].disc->tracks().size(), 1u);
    // Kept as an ISO beside, not over, the earlier run's copy.
    ASSERT_EQ(copies[0].files, std::vector<fs::path>{folder / "copies" / "F-copy2.iso"});
    EXPECT_EQ(ReadFile(copies[0].files[0]), PatternBytes(48 * 2048, 4));
    EXPECT_EQ(ReadFile(folder / "copies" / "F-copy1.iso"), (std::vector<uint8_t>{1, 2, 3}));
    clock.now += 2000;
    sim.Pump();
    EXPECT_EQ(sim.Drive(u'F')->State().discStatus, DiscStatus::Empty) << "a fresh blank";

    // Any other tray is closed again after a while, its disc left inside.
    sim.EjectMedium(u'D');
    clock.now += 300;
    sim.Pump();
    EXPECT_FALSE(sim.Drive(u'D')->State().trayOpen);
    EXPECT_EQ(sim.Drive(u'D')->State().discName, "data");
    EXPECT_GE(sim.OperatorLog().size(), 4u);
}

TEST(Bay, InjectedFaultsLastAsLongAsTheyAreToldTo) {
    TempFolder folder;
    Bay bay(BaySpec()
                .Iso("data", "CD-ROM", PatternBytes(64 * 2048, 5))
                .With("fault = read-error 40 2")
                .Drive('D', "cd-rom-reader", "data")
                .Drive('F', "cd-rw-recorder")
                .With("fault = write-error 10 14")
                .With("fault = long-write 2")
                .With("fault = blank-fails")
                .Drive('G', "bd-re-recorder")
                .With("fault = refuse get-performance")
                .With("fault = refuse mode-select")
                .With("fault = refuse reserve-track")
                .Drive('H', "dvd-rw-dl-recorder")
                .With("fault = refuse send-cue-sheet")
                .With("fault = not-ready-after-erase 3"),
            folder.path());
    Simulator& sim = bay.simulator;
    std::vector<uint8_t> buffer(25 * 2048);
    EXPECT_TRUE(SendRead10(u'D', 0, 25, buffer).ok()) << "LBA 40 is not in it";
    EXPECT_TRUE(Sensed(SendRead10(u'D', 30, 25, buffer), 3, 0x11, 0));
    EXPECT_TRUE(Sensed(SendRead10(u'D', 40, 1, buffer), 3, 0x11, 0));
    EXPECT_TRUE(SendRead10(u'D', 30, 25, buffer).ok());

    ASSERT_TRUE(sim.LoadDisc(u'F', sim.MakeBlank(0x0009)));
    ASSERT_TRUE(SetWriteParameters(u'F', disc::CdR));
    std::vector<WriterTrack> tracks{{true, 100 * 2048, 0, 100, {}}};
    ASSERT_TRUE(SendCueSheet(u'F', BuildCueSheet(tracks)).ok());
    std::vector<uint8_t> zeros(10 * 2048, 0);
    uint8_t write[10] = {0x2A, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0, 10, 0};
    EXPECT_TRUE(Sensed(SendScsiCommand(u'F', write, 10, 0, zeros.data(), 20480, 300), 2, 4, 8));
    EXPECT_TRUE(SendWrite10(u'F', -150, 10, zeros).ok()) << "the second long write is waited out";
    for (int32_t lba = -140; lba < 0; lba += 10)
        ASSERT_TRUE(SendWrite10(u'F', lba, 10, zeros).ok());
    int failures = 0;
    while (!SendWrite10(u'F', 0, 25, std::vector<uint8_t>(25 * 2048, 1)).ok())
        ++failures;
    EXPECT_EQ(failures, 14);
    ASSERT_TRUE(sim.LoadDisc(u'F', sim.MakeBlank(0x000A)));
    EXPECT_TRUE(Sensed(SendBlank(u'F'), 3, 0x0C, 0)) << "BLANK fails";

    ASSERT_TRUE(sim.LoadDisc(u'G', sim.MakeBlank(0x0041)));
    EXPECT_FALSE(SelectWriteSpeed(u'G', disc::BdR));
    EXPECT_FALSE(SetWriteParameters(u'G', disc::BdR));
    EXPECT_TRUE(Sensed(SendReserveTrack(u'G', 32), 5, 0x72, 0x05));

    ASSERT_TRUE(sim.LoadDisc(u'H', sim.MakeBlank(0x0009)));
    ASSERT_TRUE(SetWriteParameters(u'H', disc::CdR));
    EXPECT_TRUE(Sensed(SendCueSheet(u'H', BuildCueSheet(tracks)), 5, 0x26, 0));
    ASSERT_TRUE(sim.LoadDisc(u'H', sim.MakeBlank(0x0014)));
    ASSERT_TRUE(SendBlank(u'H').ok());
    std::vector<uint8_t> info(kDiscInformationLength);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Sensed(SendReadDiscInformation(u'H', info), 2, 0x04, 0x07));
    EXPECT_TRUE(SendReadDiscInformation(u'H', info).ok());
}

TEST(Bay, TransferTimeFollowsTheSelectedSpeed) {
    CountingClock clock;
    Bay bay(RealTimeRecorder());
    Simulator& sim = bay.simulator;
    ASSERT_TRUE(sim.LoadDisc(u'F', sim.MakeBlank(0x001B)));
    ASSERT_TRUE(SelectWriteSpeed(u'F', disc::DvdPlusR));
    DriveState state = sim.Drive(u'F')->State();
    EXPECT_EQ(state.cdWriteSpeed, 16620u) << "the second fastest speed";
    EXPECT_EQ(state.streamingWriteSpeed, 16620u);
    EXPECT_EQ(state.streamingReadSpeed, 22160u);
    ASSERT_TRUE(SendSetCdSpeed(u'F', 11080).ok());
    ASSERT_TRUE(SendSetStreaming(u'F', 22160, 11080, false).ok());
    ASSERT_TRUE(SetWriteParameters(u'F', disc::DvdPlusR));
    ASSERT_TRUE(SendReserveTrack(u'F', 1600).ok());
    clock.sleeps.clear();
    std::vector<uint8_t> chunk(25 * 2048, 7);
    for (int32_t lba = 0; lba < 1600; lba += 25)
        ASSERT_TRUE(SendWrite10(u'F', lba, 25, chunk).ok());
    uint64_t slept = 0;
    for (uint32_t ms : clock.sleeps)
        slept += ms;
    EXPECT_NEAR(static_cast<double>(slept), 1600.0 * 2048 / 11080, 1.0) << "8x: 11080 kB/s";

    ASSERT_TRUE(SendSetStreaming(u'F', 0, 0, true).ok());
    state = sim.Drive(u'F')->State();
    EXPECT_EQ(state.streamingWriteSpeed, 0u) << "back to the drive's defaults";
    EXPECT_EQ(state.setStreamingCount, 3u);
}

TEST(Bay, TimeTheHostLosesBetweenTransfersIsMadeUpWithinAStream) {
    CountingClock clock;
    Bay bay(RealTimeRecorder());
    Simulator& sim = bay.simulator;
    ASSERT_TRUE(sim.LoadDisc(u'F', sim.MakeBlank(0x001B)));
    ASSERT_TRUE(SendSetCdSpeed(u'F', 11080).ok());
    ASSERT_TRUE(SendReserveTrack(u'F', 1600).ok());
    std::vector<uint8_t> chunk(25 * 2048, 7);
    auto sleptFor = [&](int32_t from, int32_t to, uint32_t lostEach) {
        clock.sleeps.clear();
        for (int32_t lba = from; lba < to; lba += 25) {
            EXPECT_TRUE(SendWrite10(u'F', lba, 25, chunk).ok());
            clock.now += lostEach;  // the host's own work between writes
        }
        uint64_t slept = 0;
        for (uint32_t ms : clock.sleeps)
            slept += ms;
        return static_cast<double>(slept);
    };
    // 800 blocks take 148 ms at 8x; 2 ms lost after each of 32 writes are
    // slept less, not added.
    EXPECT_NEAR(sleptFor(0, 800, 2), 800.0 * 2048 / 11080 - 31 * 2, 2.0);
    // After a long pause the drive starts a new stream: the time lost before
    // it is not made up.
    clock.now += 5000;
    EXPECT_NEAR(sleptFor(800, 1600, 0), 800.0 * 2048 / 11080, 2.0);
}

TEST(Bay, ATransferLongerThanItsTimeoutFailsAsATimedOutRequest) {
    CountingClock clock;
    Bay bay(RealTimeRecorder());
    ASSERT_TRUE(bay.simulator.LoadDisc(u'F', bay.simulator.MakeBlank(0x001B)));
    ASSERT_TRUE(SendSetCdSpeed(u'F', 5540).ok());
    ASSERT_TRUE(SendReserveTrack(u'F', 8000).ok());
    std::vector<uint8_t> data(8000 * 2048, 1);  // about three seconds at 4x
    CommandBlock write = Write10Cdb(0, 8000, static_cast<uint32_t>(data.size()));
    clock.sleeps.clear();
    ScsiResult r = SendScsiCommand(u'F', write.cdb.data(), 10, 0, data.data(),
                                   static_cast<uint32_t>(data.size()), 1);
    EXPECT_EQ(r.status, StatusIoControlFailed);
    EXPECT_EQ(r.osError, 121u);
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_EQ(clock.sleeps[0], 1000u);
    r = SendScsiCommand(u'F', write.cdb.data(), 10, 0, data.data(),
                        static_cast<uint32_t>(data.size()), 300);
    EXPECT_TRUE(Sensed(r, 5, 0x21, 0x02)) << "the blocks were written before the time ran out";
}

TEST(Bay, FolderDrivesHaveTheFreeSpaceTheyAreGiven) {
    TempFolder folder;
    Bay bay(BaySpec()
                .Folder('X', "path = store\nfree = 1M\nlabel = SCRATCH")
                .Drive('E', "cd-rom-reader"),
            folder.path());
    Simulator& sim = bay.simulator;
    EXPECT_EQ(sim.DriveType(u'X'), DriveKind::Fixed);
    EXPECT_EQ(sim.DriveType(u'E'), DriveKind::CdRom);
    EXPECT_EQ(sim.DriveType(u'Q'), DriveKind::NoRootDir);
    EXPECT_EQ(sim.LogicalDrives(), (1u << 23) | (1u << 4));
    std::u16string label;
    EXPECT_TRUE(sim.VolumeLabel(u'X', label));
    EXPECT_EQ(label, u"SCRATCH");
    EXPECT_FALSE(sim.VolumeLabel(u'E', label)) << "no disc";

    fs::path host = sim.HostPath(u"X:\\Temp\\E000.iso");
    EXPECT_EQ(host, folder.path() / "store" / "Temp" / "E000.iso");
    uint64_t free = 0;
    ASSERT_TRUE(sim.FreeSpace(u"X:\\Temp", free));
    EXPECT_EQ(free, 1u << 20);
    fs::create_directories(host.parent_path());
    WriteFile(host, std::vector<uint8_t>(300000, 1));
    ASSERT_TRUE(sim.FreeSpace(u"X:\\Temp", free));
    EXPECT_EQ(free, (1u << 20) - 300000);
    WriteFile(host, std::vector<uint8_t>(2 << 20, 1));
    ASSERT_TRUE(sim.FreeSpace(u"X:\\", free));
    EXPECT_EQ(free, 0u);
    EXPECT_FALSE(sim.AppDataFolder().empty());
}

TEST(Bay, DescriptionsAreCheckedLineByLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    for (Case c :
         {Case{"[drive E]\nmodel = nothing\n", "unknown model"}, Case{"[drive 1]\n", "line 1"},
          Case{"[drive E]\nmodel = cd-rom-reader\n[drive E]\n", "line 3"},
          Case{"timing = sometimes\n", "line 1"}, Case{"[disc x]\nblank = DVD-ROM\n", "line 2"},
          Case{"[model m]\nfeature = 001E 2 03 00\n", "line 2"},
          Case{"[model m]\npage 2A = 2A 03 00\n", "line 2"},
          Case{"[drive E]\nmodel = cd-rom-reader\nfault = read-error x 1\n", "line 3"},
          Case{"[operator]\nload = E nothing 5\n", "unknown disc"}, Case{"just words\n", "line 1"},
          Case{"[disc x]\niso =\n", "line 2"}, Case{"[disc x]\nblank = CD-R\n[disc x]\n", "line 3"},
          Case{"[disc x]\ntype = DVD-ROM\n", "writable type"},
          Case{"[drive E]\nmodel = cd-rom-reader\nbecoming-ready = 4294967295\n", "line 3"},
          Case{"[drive E]\n", "give its model"},
          Case{"[operator]\nblank = Q CD-R\n", "no drive Q:"}}) {
        Simulator sim;
        std::string error;
        EXPECT_FALSE(sim.LoadText(c.text, {}, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(Bay, RecordersWorkInParallelWhileTheOperatorRuns) {
    BaySpec spec;
    for (auto [letter, model] :
         {std::pair{'E', "dvd-rom-reader"}, std::pair{'F', "dvd-rw-dl-recorder"},
          std::pair{'G', "bd-re-recorder"}})
        spec.Drive(letter, model).With("becoming-ready = 5");
    Bay bay(spec.Blanks('F', "DVD-R")
                .Blanks('G', "BD-R")
                .With("blank-delay = 10")
                .With("close-trays-after = 10")
                .TakeFinished());
    Simulator& sim = bay.simulator;
    std::atomic<int> arrivals{0};
    sim.Subscribe([&](const VolumeEvent& e) {
        if (e.kind == VolumeEventKind::MediaArrival)
            ++arrivals;
    });
    sim.StartOperator();
    auto writer = [&](char16_t letter, DiscType blank, uint32_t seed) {
        for (int copy = 0; copy < 3; ++copy) {
            EjectMedium(letter);
            while (!SendTestUnitReady(letter).ok())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::vector<SourceTrack> source{{true, PatternBytes(96 * 2048, seed + copy)}};
            RecordCopy(letter, source, blank);
            EXPECT_TRUE(ReadBack(letter).front().bytes == source.front().bytes);
        }
    };
    std::thread f(writer, u'F', disc::DvdR, 10);
    std::thread g(writer, u'G', disc::BdR, 20);
    for (int i = 0; i < 20; ++i) {
        EjectMedium(u'E');
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    f.join();
    g.join();
    sim.StopOperator();
    EXPECT_GE(arrivals.load(), 6);
    EXPECT_EQ(sim.TakeFinishedCopies().size(), 4u) << "the last copies are still in the trays";
}

TEST(Bay, TheExampleBaysLoad) {
    const fs::path farms = fs::path(VESTREL_SOURCE_DIR) / "simulator" / "farms";
    Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.LoadFile(farms / "every-model.txt", error)) << error;
    sim.Install();
    std::vector<uint8_t> info(kDiscInformationLength);
    ASSERT_TRUE(SendReadDiscInformation(u'F', info).ok());
    EXPECT_EQ(info[2] & 0x13, 0x12) << "a used CD-RW: complete, erasable";
    ASSERT_TRUE(SendReadDiscInformation(u'E', info).ok());
    EXPECT_EQ(info[2] & 0x13, 0x02) << "a used DVD-R: complete, not erasable";
    std::vector<uint8_t> block(32 * 2048, 3);
    EXPECT_TRUE(SendWrite10(u'H', 4096, 32, block).ok()) << "a formatted BD-RE";
    EXPECT_EQ(sim.DriveType(u'X'), DriveKind::Fixed);
    sim.Uninstall();

    Description description;
    std::string text;
    std::ifstream in(farms / "default.txt");
    text.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(ParseDescription(BuiltInModels(), {}, description, error)) << error;
    EXPECT_TRUE(ParseDescription(text, farms, description, error)) << error;
    EXPECT_EQ(description.drives.size(), 4u);
}

}  // namespace
}  // namespace vestrel::sim::testing
