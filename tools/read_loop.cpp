// vestrel-read-loop: the yardstick for the Linux backup's reading, and a
// stopwatch for whole runs. Used inside the virtual machine of
// tools/bench-linux-reads; not a test.
//
//   vestrel-read-loop loop DEVICE [FILE]  READ (10) of 25 sectors at a time
//                                      over the whole disc, as the reader
//                                      sends them, through SG_IO on one
//                                      descriptor; with FILE, each chunk is
//                                      also written to FILE as it arrives
//   vestrel-read-loop time COMMAND...  runs COMMAND and tells when it started
//                                      and ended
//
// Times printed are CLOCK_MONOTONIC nanoseconds. Where the kernel's trace is
// mounted, the starts and ends are also written into it ("vestrel-read-loop
// start", "... end"), so that they stand on the trace's own clock beside
// the commands it records.
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kSectorSize = 2048;
constexpr uint32_t kChunkSectors = 25;
constexpr unsigned kTimeoutMs = 30000;

uint64_t Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

// A line in the kernel's trace, when the trace can be written to.
void Mark(const char* text) {
    static const int fd = open("/sys/kernel/tracing/trace_marker", O_WRONLY | O_CLOEXEC);
    if (fd >= 0 && write(fd, text, std::strlen(text)) < 0) {
        // The figures from the trace will be missing; the run goes on.
    }
}

// One SG_IO request reading into `data`; false, with a line on stderr, when
// the ioctl fails or the drive reports anything but good status.
bool ReadFromDevice(int fd, const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t bytes) {
    uint8_t sense[32] = {};
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmdp = const_cast<uint8_t*>(cdb);
    io.cmd_len = cdbLength;
    io.sbp = sense;
    io.mx_sb_len = 24;
    io.dxferp = data;
    io.dxfer_len = bytes;
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.timeout = kTimeoutMs;
    if (ioctl(fd, SG_IO, &io) < 0) {
        std::perror("SG_IO");
        return false;
    }
    if (io.status != 0 || io.host_status != 0 || (io.driver_status & ~0x08) != 0) {
        std::fprintf(stderr, "command %02x: status %u, sense %x/%02x/%02x\n", cdb[0], io.status,
                     sense[2] & 0x0f, sense[12], sense[13]);
        return false;
    }
    return true;
}

int Loop(const char* device, const char* output) {
    // As the product opens a drive: a tray without a disc still opens.
    const int fd = open(device, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror(device);
        return 1;
    }
    const uint8_t capacityCdb[10] = {0x25};
    uint8_t capacity[8] = {};
    if (!ReadFromDevice(fd, capacityCdb, sizeof capacityCdb, capacity, sizeof capacity))
        return 1;
    const uint32_t lastLba = uint32_t(capacity[0]) << 24 | uint32_t(capacity[1]) << 16 |
                             uint32_t(capacity[2]) << 8 | capacity[3];
    const uint64_t sectors = uint64_t{lastLba} + 1;
    const int out = output ? open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1;
    if (output && out < 0) {
        std::perror(output);
        return 1;
    }

    std::vector<uint8_t> buffer(kChunkSectors * kSectorSize);
    uint64_t commands = 0;
    Mark("vestrel-read-loop start");
    const uint64_t start = Now();
    for (uint64_t lba = 0; lba < sectors; lba += kChunkSectors) {
        const uint32_t count =
            uint32_t(sectors - lba < kChunkSectors ? sectors - lba : kChunkSectors);
        const uint8_t cdb[10] = {
            0x28,         0, uint8_t(lba >> 24),  uint8_t(lba >> 16), uint8_t(lba >> 8),
            uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count),     0};
        if (!ReadFromDevice(fd, cdb, sizeof cdb, buffer.data(), count * kSectorSize)) {
            std::fprintf(stderr, "at LBA %llu\n", static_cast<unsigned long long>(lba));
            return 1;
        }
        const ssize_t bytes = ssize_t{count} * kSectorSize;
        if (out >= 0 && write(out, buffer.data(), size_t(bytes)) != bytes) {
            std::perror(output);
            return 1;
        }
        ++commands;
    }
    const uint64_t end = Now();
    Mark("vestrel-read-loop end");
    close(fd);
    if (out >= 0)
        close(out);
    std::printf("loop_sectors %llu\nloop_commands %llu\nloop_start_ns %llu\nloop_end_ns %llu\n",
                static_cast<unsigned long long>(sectors), static_cast<unsigned long long>(commands),
                static_cast<unsigned long long>(start), static_cast<unsigned long long>(end));
    return 0;
}

int Time(char** command) {
    std::fflush(stdout);
    Mark("vestrel-read-loop start");
    const uint64_t start = Now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("waitpid");
            return 1;
        }
    }
    const uint64_t end = Now();
    Mark("vestrel-read-loop end");
    std::printf("run_pid %d\nrun_start_ns %llu\nrun_end_ns %llu\nrun_exit %d\n", int(child),
                static_cast<unsigned long long>(start), static_cast<unsigned long long>(end),
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "loop") == 0)
        return Loop(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc >= 3 && std::strcmp(argv[1], "time") == 0)
        return Time(argv + 2);
    std::fprintf(stderr, "usage: vestrel-read-loop loop DEVICE [FILE] | time COMMAND...\n");
    return 2;
}
