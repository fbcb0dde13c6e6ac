// Faults a test or a description injects into a drive or a disc.
#pragma once

#include <cstdint>

namespace vestrel::sim {

enum class FaultKind {
    ReadError,             // reads covering `lba` fail (3/11/00) `count` times
    WriteError,            // writes covering `lba` fail (3/0C/00) `count` times
    LongWrite,             // the next `count` WRITE (10) answer 2/04/08
    UnitAttention,         // the next `count` commands answer 6/29/00 (a reset)
    RefuseCueSheet,        // SEND CUE SHEET answers 5/26/00
    RefuseReserveTrack,    // RESERVE TRACK answers 5/72/05
    RefuseModeSelect,      // MODE SELECT answers 5/26/00
    RefuseGetPerformance,  // GET PERFORMANCE answers 5/24/00
    BlankFails,            // BLANK answers 3/0C/00
    NotReadyAfterErase,    // `count` replies of 2/04/07 after a BLANK
    TocUnreadable,         // READ TOC answers 3/57/00
    LongSync,              // the next `count` SYNCHRONIZE CACHE answer 2/04/08
    CloseFails,            // CLOSE TRACK/SESSION fails (3/0C/00; deferred when immediate)
    FormatFails,           // FORMAT UNIT fails (3/31/01; deferred when immediate)
    LongClose,             // an immediate close keeps the drive busy `count` ms
    LongFormat,            // an immediate format keeps the drive busy `count` ms
    NwaOffset,             // READ TRACK INFORMATION gives next writable addresses `count` blocks on
    CorruptWrite,  // the block at `lba` is recorded altered, `count` times, yet reported written
    RefuseShortTracks,  // SEND CUE SHEET answers 5/26/00 to a track under 4 s from its index 1
    // Reading an audio CD's sub-channels and codes, as some drives do.
    QBinary,                // formatted Q gives ADR 1 numbers in binary, without CRC
    QCrcErrors,             // every `count`-th sector's Q frame has a bad CRC
    QShift,                 // Q comes `count` sectors late: sector n carries n - count's
    CdTextUnsupported,      // READ TOC format 0101b answers 5/24/00
    HiddenAudioUnreadable,  // READ CD before track 1's index 1 answers 3/11/00
    IsrcLatch,              // ISRC frames in a track's first `count` sectors from index 1 carry the
                            // track before's ISRC
};

struct Fault {
    FaultKind kind = FaultKind::ReadError;
    int32_t lba = 0;
    uint32_t count = 1;
};

}  // namespace vestrel::sim
