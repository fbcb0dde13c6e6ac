// The Linux back end: on this machine's real device nodes, and on a fake
// device layer whose nodes vanish and come back.
#include <gtest/gtest.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "drive/mmc_commands.h"
#include "drive/scsi_text.h"
#include "drive/system_error.h"
#include "drive/text.h"
#include "platform/linux/sg_transport.h"

namespace vestrel {
namespace {

TEST(LinuxDrives, LettersNameOpticalNodesFromD) {
    EXPECT_EQ(LinuxDevicePath(u'D'), "/dev/sr0");
    EXPECT_EQ(LinuxDevicePath(u'F'), "/dev/sr2");
    EXPECT_EQ(LinuxDevicePath(u'Z'), "/dev/sr22");
    EXPECT_EQ(LinuxDevicePath(u'C'), "");
    EXPECT_EQ(LinuxDevicePath(u'a'), "");
    EXPECT_EQ(LinuxDriveLetter(0), u'D');
    EXPECT_EQ(LinuxDriveLetter(22), u'Z');
    EXPECT_EQ(LinuxDriveLetter(23), 0);
}

TEST(LinuxDrives, ANodeThatCannotBeOpenedIsStatus24) {
    SgTransport transport([](char16_t) { return std::string("/nonexistent/sr9"); });
    InstallTransport(&transport);
    ScsiResult r = SendTestUnitReady(u'D');
    InstallTransport(nullptr);
    EXPECT_EQ(r.status, StatusOpenFailed);
    EXPECT_EQ(r.osError, 0u);
    EXPECT_EQ(ScsiStatusName(r.status), u"Reservation Conflict");
    EXPECT_FALSE(transport.AllowMediumRemoval(u'D'));
    transport.EjectMedium(u'D');  // nothing to do, nothing breaks
}

TEST(LinuxDrives, ALetterWithoutANodeIsStatus24) {
    EXPECT_EQ(SendTestUnitReady(u'B').status, StatusOpenFailed);
}

TEST(LinuxDrives, AFailedRequestIsStatus255WithErrno) {
    // /dev/null opens but knows no SG_IO.
    SgTransport transport([](char16_t) { return std::string("/dev/null"); });
    InstallTransport(&transport);
    std::vector<uint8_t> reply(96);
    ScsiResult r = SendInquiry(u'D', reply);
    InstallTransport(nullptr);
    EXPECT_EQ(r.status, StatusIoControlFailed);
    EXPECT_EQ(r.osError, static_cast<uint32_t>(ENOTTY));
    std::u16string details =
        FormatProbeDetails(ProbeFailureKind::IoControlError, 0x12, r.osError, r.status, 0, 0, 0);
    EXPECT_EQ(details,
              u"Error occurred in function DeviceIoControl() while executing command: "
              u"Inquiry.\r\n\r\nError code: (25) " +
                  SystemErrorText(ENOTTY));
    EXPECT_EQ(ToUtf8(SystemErrorText(ENOTTY)), "Inappropriate ioctl for device\r\n");
}

// Device nodes as the kernel keeps them, as far as the back end can tell: a
// descriptor fails with ENODEV once its drive is unplugged or replaced, and
// lock and eject are refused while the node has another opener.
class FakeNodes : public DeviceNodeCalls {
  public:
    struct Counts {
        int opens = 0;      // successful opens
        int delivered = 0;  // SG_IO requests that reached a drive
        int unlocks = 0;
        int ejects = 0;
    };

    // Puts a drive behind the node; a drive that was there is replaced.
    void Plug(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        Node& node = nodes_[path];
        node.present = true;
        ++node.drive;
    }
    void Remove(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        nodes_[path].present = false;
    }
    // The next `count` SG_IO requests on the node fail with `error`.
    void FailRequests(const std::string& path, int error, int count) {
        std::lock_guard<std::mutex> lock(mutex_);
        nodes_[path].failError = error;
        nodes_[path].failCount = count;
    }

    Counts CountsOf(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        return nodes_[path].counts;
    }
    size_t OpenDescriptors() {
        std::lock_guard<std::mutex> lock(mutex_);
        return descriptors_.size();
    }
    // Requests and closes on descriptors that were not open.
    int BadDescriptorUses() {
        std::lock_guard<std::mutex> lock(mutex_);
        return badUses_;
    }

    int Open(const std::string& path, int) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Node& node = nodes_[path];
        if (!node.present) {
            errno = ENOENT;
            return -1;
        }
        ++node.counts.opens;
        descriptors_[nextFd_] = Opened{path, node.drive};
        return nextFd_++;
    }

    // Runs once, on the next request that finds its drive gone, before that
    // request fails: what another thread may do meanwhile.
    void BeforeNextStaleRequestFails(std::function<void()> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        beforeStaleFails_ = std::move(action);
    }

    int Ioctl(int fd, unsigned long request, void*) override {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = descriptors_.find(fd);
        if (it == descriptors_.end()) {
            ++badUses_;
            return Fail(EBADF);
        }
        Node& node = nodes_[it->second.path];
        if (!node.present || node.drive != it->second.drive) {
            std::function<void()> action = std::move(beforeStaleFails_);
            beforeStaleFails_ = nullptr;
            lock.unlock();
            if (action)
                action();
            return Fail(ENODEV);
        }
        if (request == SG_IO) {
            if (node.failCount > 0) {
                --node.failCount;
                return Fail(node.failError);
            }
            ++node.counts.delivered;
            return 0;
        }
        if (OpenersOf(it->second) != 1)
            return Fail(EBUSY);
        ++(request == CDROMEJECT ? node.counts.ejects : node.counts.unlocks);
        return 0;
    }

    void Close(int fd) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (descriptors_.erase(fd) == 0)
            ++badUses_;
    }

  private:
    struct Node {
        bool present = false;
        int drive = 0;  // which drive is behind the node
        int failError = 0;
        int failCount = 0;
        Counts counts;
    };
    struct Opened {
        std::string path;
        int drive;
    };

    static int Fail(int error) {
        errno = error;
        return -1;
    }
    int OpenersOf(const Opened& opened) const {
        int n = 0;
        for (const auto& [fd, other] : descriptors_)
            n += other.path == opened.path && other.drive == opened.drive;
        return n;
    }

    std::mutex mutex_;
    std::map<std::string, Node> nodes_;
    std::map<int, Opened> descriptors_;
    int nextFd_ = 100;
    int badUses_ = 0;
    std::function<void()> beforeStaleFails_;
};

ScsiResult TestUnitReady(SgTransport& transport, char16_t letter) {
    static const uint8_t cdb[6] = {};
    ScsiCommand command;
    command.letter = letter;
    command.cdb = cdb;
    command.cdbLength = sizeof cdb;
    command.timeoutSeconds = 15;
    return transport.Execute(command);
}

const std::string kD = "/dev/sr0";
const std::string kE = "/dev/sr1";

// What happens to the drive between the back end's requests, and what the
// back end is asked.
enum class Step { Command, Unlock, Eject, Remove, Plug };

struct Scenario {
    const char* name;
    std::vector<std::pair<Step, int>> steps;  // a command's status, an unlock's result
    FakeNodes::Counts counts;                 // of /dev/sr0 at the end
    size_t openAtEnd;
};

TEST(LinuxDescriptors, OneDescriptorPerDriveOpenedAgainWhenItsNodeIsGone) {
    const Scenario scenarios[] = {
        {"kept across commands",
         {{Step::Command, 0}, {Step::Command, 0}, {Step::Command, 0}},
         {1, 3, 0, 0},
         1},
        {"lock and eject on the kept descriptor",
         {{Step::Command, 0}, {Step::Unlock, true}, {Step::Eject, 0}, {Step::Command, 0}},
         {1, 2, 1, 1},
         1},
        {"eject as the first use", {{Step::Eject, 0}, {Step::Command, 0}}, {1, 1, 0, 1}, 1},
        {"node gone: nothing open, status 24",
         {{Step::Command, 0}, {Step::Remove, 0}, {Step::Command, 24}, {Step::Unlock, false}},
         {1, 1, 0, 0},
         0},
        {"node back: opened again",
         {{Step::Command, 0},
          {Step::Remove, 0},
          {Step::Command, 24},
          {Step::Plug, 0},
          {Step::Command, 0}},
         {2, 2, 0, 0},
         1},
        {"drive replaced: the command goes to the new one",
         {{Step::Command, 0}, {Step::Plug, 0}, {Step::Command, 0}, {Step::Command, 0}},
         {2, 3, 0, 0},
         1},
        {"drive replaced: lock and eject reach the new one",
         {{Step::Command, 0},
          {Step::Plug, 0},
          {Step::Unlock, true},
          {Step::Plug, 0},
          {Step::Eject, 0}},
         {3, 1, 1, 1},
         1},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        FakeNodes fake;
        fake.Plug(kD);
        {
            SgTransport sg(LinuxDevicePath, fake);
            for (const auto& [step, expected] : s.steps) {
                switch (step) {
                    case Step::Command:
                        EXPECT_EQ(TestUnitReady(sg, u'D').status, static_cast<uint32_t>(expected));
                        break;
                    case Step::Unlock:
                        EXPECT_EQ(sg.AllowMediumRemoval(u'D'), static_cast<bool>(expected));
                        break;
                    case Step::Eject:
                        sg.EjectMedium(u'D');
                        break;
                    case Step::Remove:
                        fake.Remove(kD);
                        break;
                    case Step::Plug:
                        fake.Plug(kD);
                        break;
                }
            }
            const FakeNodes::Counts c = fake.CountsOf(kD);
            EXPECT_EQ(c.opens, s.counts.opens);
            EXPECT_EQ(c.delivered, s.counts.delivered);
            EXPECT_EQ(c.unlocks, s.counts.unlocks);
            EXPECT_EQ(c.ejects, s.counts.ejects);
            EXPECT_EQ(fake.OpenDescriptors(), s.openAtEnd);
        }
        EXPECT_EQ(fake.OpenDescriptors(), 0u) << "closed with the transport";
        EXPECT_EQ(fake.BadDescriptorUses(), 0);
    }
}

// Only a vanished device earns a second try, and only one.
TEST(LinuxDescriptors, FailedRequestsAreNotRepeatedBeyondOneReopen) {
    struct Case {
        int error;
        int failures;
        uint32_t status;
        uint32_t osError;
        int opens;
    } cases[] = {
        {ENOTTY, 1, StatusIoControlFailed, ENOTTY, 1},
        {EIO, 1, StatusIoControlFailed, EIO, 1},
        {ENXIO, 1, 0, 0, 2},
        {ENODEV, 5, StatusIoControlFailed, ENODEV, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        FakeNodes fake;
        fake.Plug(kD);
        SgTransport sg(LinuxDevicePath, fake);
        fake.FailRequests(kD, c.error, c.failures);
        const ScsiResult r = TestUnitReady(sg, u'D');
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.osError, c.osError);
        EXPECT_EQ(fake.CountsOf(kD).opens, c.opens);
    }
}

// Two users of a replaced drive: the one that finds the old descriptor stale
// last must not drop the new one the other has opened meanwhile.
TEST(LinuxDescriptors, ALateFinderOfAStaleDescriptorKeepsTheNewOne) {
    FakeNodes fake;
    fake.Plug(kD);
    SgTransport sg(LinuxDevicePath, fake);
    EXPECT_EQ(TestUnitReady(sg, u'D').status, 0u);
    fake.Plug(kD);
    fake.BeforeNextStaleRequestFails([&] { EXPECT_EQ(TestUnitReady(sg, u'D').status, 0u); });
    EXPECT_EQ(TestUnitReady(sg, u'D').status, 0u);
    EXPECT_EQ(fake.CountsOf(kD).opens, 2);
    EXPECT_EQ(fake.CountsOf(kD).delivered, 3);
    EXPECT_EQ(fake.OpenDescriptors(), 1u);
    EXPECT_EQ(fake.BadDescriptorUses(), 0);
}

// Reader and writers on their own drives while the inventory thread asks the
// reader's drive too, and that drive is replaced again and again on the way.
TEST(LinuxDescriptors, ThreadsShareADrivesDescriptorSafely) {
    constexpr int kCommands = 300;
    constexpr int kReplacements = 20;
    FakeNodes nodes;
    nodes.Plug(kD);
    nodes.Plug(kE);
    SgTransport transport(LinuxDevicePath, nodes);
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (char16_t letter : {u'D', u'E', u'D'}) {
        threads.emplace_back([&, letter] {
            for (int i = 0; i < kCommands; ++i) {
                const ScsiResult r = TestUnitReady(transport, letter);
                good += r.status == 0;
                // A request caught between two replacements fails; no other.
                EXPECT_TRUE(r.status == 0 || r.osError == ENODEV);
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kReplacements; ++i) {
            std::this_thread::yield();
            nodes.Plug(kD);
        }
    });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(nodes.CountsOf(kE).opens, 1);
    EXPECT_LE(nodes.CountsOf(kD).opens, 1 + kReplacements)
        << "one open for each drive behind the node";
    EXPECT_EQ(nodes.CountsOf(kD).delivered + nodes.CountsOf(kE).delivered, good.load());
    EXPECT_EQ(nodes.OpenDescriptors(), 2u);
    EXPECT_EQ(nodes.BadDescriptorUses(), 0);
}

}  // namespace
}  // namespace vestrel
