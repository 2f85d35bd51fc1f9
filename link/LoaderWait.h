#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// The machine's resident loader waiting for a boot stream, as far as the tool
// knows: from the moment it was sent there until the wait is ended or its
// time limit has passed, whichever comes first. Measured on a clock of its
// own: the steady clock, unless a test gives another.
class LoaderWait {
public:
    using Clock = std::function<std::chrono::nanoseconds()>;
    static constexpr std::chrono::seconds kLimit{60};

    void Begin() { until = now() + kLimit; }
    void End() { until.reset(); }
    bool Active() const { return until && now() < *until; }
    void UseClock(Clock clock) { now = std::move(clock); }

private:
    Clock now = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
    std::optional<std::chrono::nanoseconds> until;
};
