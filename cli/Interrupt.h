#pragma once

// Ctrl-C during a long operation: while a guard lives, SIGINT only raises a
// flag that the operation polls (the download then aborts as its Abort button
// would); outside, SIGINT ends the program as usual.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool Requested();
};
