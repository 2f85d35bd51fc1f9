#pragma once

#include "procedures/Procedure.h"

#include <QJsonObject>

#include <chrono>
#include <cstdint>

// What a procedure run did, counted from outside as its front end watches it
// tick: the erases that completed, the blocks sent (the downloads' flash
// blocks, the boot stream's ticks of words) and the bytes they carried, and
// how long the run took. For --json.
class ProcedureTally {
public:
    ProcedureTally();

    // After every tick of the run.
    void AfterTick(const Procedure& procedure);

    // "bytes", "blocks", "erases" and "durationMs", from the start until now.
    QJsonObject Members() const;

private:
    using Clock = std::chrono::steady_clock;

    Clock::time_point start;
    bool erasing = false;
    std::uint64_t erasePosition = 0;
    std::uint64_t written = 0;  // the work done outside the erase phase
    std::uint64_t erases = 0;
    std::uint64_t blocks = 0;
    std::uint64_t bytesPerUnit = 1;
};
