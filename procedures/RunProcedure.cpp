#include "procedures/RunProcedure.h"

#include "link/DeviceLink.h"

#include <thread>

ProcedureClock ProcedureClock::Steady()
{
    using Clock = std::chrono::steady_clock;
    return {
        [] { return std::chrono::nanoseconds(Clock::now().time_since_epoch()); },
        [](std::chrono::nanoseconds until) { std::this_thread::sleep_until(Clock::time_point(until)); },
    };
}

ProcedureResult RunProcedure(Procedure& procedure, std::string& resultText, const ProcedureRun& run)
{
    const LinkOwner owner(procedure.Link());
    resultText = procedure.ResultText();
    procedure.Start();
    std::optional<std::chrono::nanoseconds> eraseStart;
    while (!procedure.IsFinished()) {
        if (run.beforeTick)
            run.beforeTick(procedure);
        const auto tickStart = run.clock.now();
        if (!procedure.Erasing()) {
            eraseStart.reset();
        } else if (!eraseStart) {
            eraseStart = tickStart;
        }
        if (eraseStart && run.eraseTimeout && tickStart - *eraseStart >= *run.eraseTimeout) {
            procedure.EraseTimedOut();
            break;
        }
        procedure.Tick();
        if (run.afterTick)
            run.afterTick(procedure);
        if (run.pace == ProcedureRun::Pace::TickInterval)
            run.clock.waitUntil(tickStart + procedure.TickInterval());
        else if (const auto pause = procedure.PauseHint(); pause.count() > 0)
            run.clock.waitUntil(run.clock.now() + pause);
    }
    resultText = procedure.ResultText();
    return procedure.Outcome();
}
