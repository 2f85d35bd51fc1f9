#pragma once

#include "operations/Job.h"

#include <cstdint>
#include <string>

// Flash read back into files, and a backup put back into a machine. Every
// path is UTF-8; every file is written whole or not at all (files/AtomicFile.h).

// backup FILE: the file checked and opened before anything is read
// (FileRefused and the reason, "PATH: not a regular file; give a file
// name"), the full readout, a machine without a user area refused ("No
// answer", "Factory data must be downloaded first"), the user area read
// (StepKind::Read) and the backup written; "Done" only once the file is.
JobOutcome BackUpUserArea(const JobContext& job, const std::string& path);

struct RestoreOptions {
    bool verify = false;  // compare the whole user area with the backup afterwards
    // Under the question, the machine and the backup side by side: their
    // identities, serial numbers, and when the backup was taken (for a file
    // of the first format, which had no date, the file's time). The window's.
    bool describe = false;
};

// restore FILE: the backup read (a file that cannot be read: FileRefused and
// "PATH: reason"; one refused: its text), "Not restored : ..." when no
// confirmation can be had (InputRefused), the full readout and the checks,
// the confirmation naming the file (No: "Not restored", Aborted), the restore
// (StepKind::Restore), the verify of the whole area when asked, the full readout.
JobOutcome RestoreUserArea(const JobContext& job, const std::string& path, const RestoreOptions& options = {});

// The longest range read-flash takes: more than any machine's flash.
inline constexpr std::uint32_t kMaxReadLength = 0x1000000;

// A range read-flash takes: 1 to kMaxReadLength bytes, none past the end of
// the 32-bit address space.
bool FlashRangeFits(std::uint32_t address, std::uint32_t length);

// read-flash: the file checked and opened before anything is read, the
// range read (StepKind::Read), the file written; "Done" only once it is.
JobOutcome ReadFlashInto(const JobContext& job, std::uint32_t address, std::uint32_t length,
                         const std::string& path);
