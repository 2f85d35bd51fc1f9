#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class DeviceLink;

// How a procedure ended. The texts that go with them are the procedure's
// ResultText(): "Done", "No answer", "bad status while erasing : 0x%02X",
// "bad status while programming : 0x%02X", "Aborted", "Erase timed out".
enum class ProcedureResult {
    NotDone,        // still running (or closed before its end)
    Done,           // everything sent or written
    NoAnswer,       // a request failed
    EraseStatus,    // ReadFlashStatus reported a failed erase
    ProgramStatus,  // ProgramFlashBlock reported a non-zero status
    Aborted,        // the Abort button, Esc or Ctrl-C
    WriteFailed,    // the port did not take the bytes of an unanswered stream
    EraseTimedOut,  // the erase phase outlasted the bound of its run (the command line's --erase-timeout)
    VerifyFailed,   // a read back differs from what was written
};

// What a procedure has done so far, as it counts it itself: the erases that
// completed, the blocks it sent or read (a boot stream's ticks of words) and
// the bytes they carried.
struct ProcedureCounts {
    std::uint64_t erases = 0;
    std::uint64_t blocks = 0;
    std::uint64_t bytes = 0;
    // An erase or a write went out: the flash may no longer hold what it held.
    bool flashTouched = false;
};

// A range and a position in it, as a progress bar shows them.
struct ProcedureProgress {
    std::uint64_t minimum = 0;
    std::uint64_t maximum = 0;
    std::uint64_t position = 0;
};

// The one shape of the three procedures that move an image into the machine
// (user download, factory download, boot stream): a state machine that a
// front end ticks until it is finished. The window ticks it from its dialog's
// timer every TickInterval(); the command line and the benchmarks run it to
// its end with RunProcedure. Either calls Start() once, then Tick() until the
// procedure is finished. A procedure never prints, shows or sleeps.
class Procedure {
public:
    virtual ~Procedure() = default;

    // What the dialog does as it is shown, before its timer starts (the boot
    // stream's header). Most procedures start with their first tick.
    virtual void Start() {}
    // What one timer tick does: at most one exchange with the machine (the
    // user download's last block and its zone table: two). Nothing once finished.
    virtual void Tick() = 0;
    // The Abort button, Esc or Ctrl-C: the next tick ends the procedure with
    // "Aborted". Nothing once finished.
    virtual void Abort() = 0;
    // In its erase phase: erasing, or polling the machine until an erase is
    // done. A procedure without one never is.
    virtual bool Erasing() const { return false; }
    // Ends the erase phase that outlasted its bound at once, with "Erase
    // timed out": nothing more is sent. Nothing outside the erase phase.
    virtual void EraseTimedOut() {}

    virtual bool IsFinished() const = 0;
    virtual ProcedureResult Outcome() const = 0;
    // "Not done" while running, then the text of the outcome.
    virtual const std::string& ResultText() const = 0;
    // The dialog's status label ("Erasing...", "Programming...", "Stanby" ...).
    virtual const char* StatusText() const = 0;

    // The dialog's progress bar, exactly as the procedure sets it.
    virtual ProcedureProgress Bar() const = 0;
    // How far the work has got, for a front end without the dialog: the
    // erases done out of the erases to make, then what has been written.
    virtual ProcedureProgress Work() const = 0;
    // What Work() counts now: "erases", "bytes" or "words".
    virtual const char* WorkUnit() const { return "bytes"; }
    // What it has done so far.
    virtual ProcedureCounts Counts() const = 0;

    // The period of the dialog's timer.
    virtual std::chrono::milliseconds TickInterval() const = 0;
    // How long a front end that ticks back to back should wait before the
    // next tick: a few milliseconds while the machine is busy with a flash
    // operation that the procedure polls, otherwise nothing.
    virtual std::chrono::milliseconds PauseHint() const = 0;

    // The link it works on. Whoever runs the procedure holds a LinkOwner of
    // it meanwhile, so that nothing else is sent in between.
    virtual DeviceLink& Link() const = 0;
};
