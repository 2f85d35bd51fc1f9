#include "cli/ProcedureTally.h"

#include "procedures/boot/BootStream.h"

ProcedureTally::ProcedureTally() : start(Clock::now()) {}

void ProcedureTally::AfterTick(const Procedure& procedure)
{
    const ProcedureProgress work = procedure.Work();
    if (procedure.Erasing()) {
        // The erase phase's position moves on when an erase has completed.
        if (erasing && work.position != erasePosition)
            ++erases;
        erasing = true;
        erasePosition = work.position;
        return;
    }
    // Out of the erase phase: its last erase completed, unless it failed or
    // was aborted.
    if (erasing && !(procedure.IsFinished() && procedure.Outcome() != ProcedureResult::Done))
        ++erases;
    erasing = false;
    // The boot stream counts words, three bytes each; the downloads count bytes.
    if (dynamic_cast<const BootStream*>(&procedure))
        bytesPerUnit = BootStream::kWordBytes;
    const std::uint64_t done = work.position - work.minimum;
    if (done > written) {
        ++blocks;
        written = done;
    }
}

QJsonObject ProcedureTally::Members() const
{
    const auto duration = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return QJsonObject{
        {"bytes", qint64(written * bytesPerUnit)},
        {"blocks", qint64(blocks)},
        {"erases", qint64(erases)},
        {"durationMs", qint64(duration.count())},
    };
}
