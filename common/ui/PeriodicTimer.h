#pragma once

#include <QTimer>

#include <climits>
#include <cstdint>

// The windows' periodic timers keep an interval and an enabled flag, and an
// interval of 0 means that the timer never fires; a QTimer of interval 0
// fires whenever the event loop has nothing else to do. So a window keeps its
// flag and lets this start or stop its QTimer.

// An interval in milliseconds as a QTimer takes it (at most INT_MAX ms, some
// 24 days).
inline void SetTimerInterval(QTimer& timer, std::uint32_t milliseconds)
{
    timer.setInterval(int(milliseconds > std::uint32_t(INT_MAX) ? std::uint32_t(INT_MAX) : milliseconds));
}

// Runs the timer when it is enabled and its interval is not 0; stops it otherwise.
inline void EnableTimer(QTimer& timer, bool enabled)
{
    if (enabled && timer.interval() > 0) {
        if (!timer.isActive())
            timer.start();
    } else {
        timer.stop();
    }
}
