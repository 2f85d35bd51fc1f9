#pragma once

#include "procedures/Procedure.h"

#include <chrono>
#include <functional>
#include <string>

// The clock a procedure run waits on: the real one, or a machine model's.
struct ProcedureClock {
    std::function<std::chrono::nanoseconds()> now;
    std::function<void(std::chrono::nanoseconds)> waitUntil;

    static ProcedureClock Steady();
};

struct ProcedureRun {
    enum class Pace {
        BackToBack,    // the next tick as soon as the pause hint allows
        TickInterval,  // one tick per TickInterval(), as the dialog's timer
    };
    Pace pace = Pace::BackToBack;
    ProcedureClock clock = ProcedureClock::Steady();
    // Called before every tick; may abort the procedure (Ctrl-C).
    std::function<void(Procedure&)> beforeTick;
    // Called after every tick, to show how far the procedure has got.
    std::function<void(const Procedure&)> afterTick;
};

// Runs a procedure to its end outside a window, and keeps `resultText` (a
// process-wide result text) in step with it: "Not done" from the start, the
// procedure's result text at the end. The procedure owns its link meanwhile.
ProcedureResult RunProcedure(Procedure& procedure, std::string& resultText, const ProcedureRun& run = {});
