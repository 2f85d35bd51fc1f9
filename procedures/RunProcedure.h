#pragma once

#include "procedures/Procedure.h"

#include <chrono>
#include <functional>
#include <optional>
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
    // The longest the erase phase may last, from the tick that finds the
    // procedure erasing; then it ends with "Erase timed out". None: as long
    // as the machine stays busy (the window's dialog waits for its Abort
    // button).
    std::optional<std::chrono::nanoseconds> eraseTimeout;
    // Called before every tick; may abort the procedure (Ctrl-C).
    std::function<void(Procedure&)> beforeTick;
    // Called after every tick, to show how far the procedure has got.
    std::function<void(const Procedure&)> afterTick;
};

// Runs a procedure to its end outside a window, and keeps `resultText` (a
// process-wide result text) in step with it: "Not done" from the start, the
// procedure's result text at the end. The procedure owns its link meanwhile.
ProcedureResult RunProcedure(Procedure& procedure, std::string& resultText, const ProcedureRun& run = {});
