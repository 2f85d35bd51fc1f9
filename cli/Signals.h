#pragma once

#include <cstdio>

// What stops mirelle-cli from outside: Ctrl-C, SIGTERM and SIGHUP (on
// Windows Ctrl-C, Ctrl-Break and closing its console), and a write to
// standard output or standard error that meets a closed pipe. None ends the
// program where it stands: each raises a flag that the run polls, so that the
// port is closed as on any other end and the exit code is 5 ("Aborted" on
// standard output, nothing after a closed pipe).
//
// A first stop during a procedure lets the exchange under way finish and
// ends the procedure at its next tick, as its Abort button would. Outside a
// procedure, and at a second stop, the link's exchanges fail at once.
class StopSignals {
public:
    // Catches the stops for the life of the object: mirelle-cli's main().
    // Without SA_RESTART, so that a read of the terminal ends with the stop.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A stop came.
    static bool Requested();
    // Every stop was a closed pipe: the run ends without a word.
    static bool Quiet();
    // The machine is no longer waited for: a second stop, or a first one
    // outside a procedure of the calling thread.
    static bool Urgent();

    // Waits until `in` has something to read (or its end); false when a stop
    // came first or comes meanwhile. No stop is lost between the look at the
    // flag and the wait. Only for a stream nothing has been read from yet,
    // whose buffer is empty: a terminal asked for a confirmation.
    static bool WaitForInput(std::FILE* in);

    // While one lives, a procedure runs on this thread: a first stop waits
    // for its next tick, and the link of this thread is not given up yet.
    class ProcedureRunning {
    public:
        ProcedureRunning();
        ~ProcedureRunning();
        ProcedureRunning(const ProcedureRunning&) = delete;
        ProcedureRunning& operator=(const ProcedureRunning&) = delete;
    };
};
