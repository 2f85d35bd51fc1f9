#include "cli/Progress.h"

#include <algorithm>

#include <unistd.h>

ProgressDisplay::ProgressDisplay(std::FILE* out) : out(out), terminal(isatty(fileno(out)) != 0) {}

ProgressDisplay::~ProgressDisplay()
{
    Finish();
}

void ProgressDisplay::Show(const std::string& phase, std::uint64_t position, std::uint64_t maximum)
{
    const int percent = maximum == 0 ? 100 : int(std::min<std::uint64_t>(position, maximum) * 100 / maximum);
    const bool newPhase = phase != lastPhase;
    if (terminal) {
        if (!newPhase && percent == lastPercent)
            return;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(out, "\r%-16s [%s%s] %3d%%", phase.c_str(), std::string(std::size_t(filled), '#').c_str(),
                     std::string(std::size_t(kWidth - filled), ' ').c_str(), percent);
        std::fflush(out);
        drawn = true;
    } else {
        const int tenth = percent / 10;
        if (!newPhase && tenth == lastTenth)
            return;
        std::fprintf(out, "%s %llu/%llu (%d%%)\n", phase.c_str(), static_cast<unsigned long long>(position),
                     static_cast<unsigned long long>(maximum), percent);
        std::fflush(out);
        lastTenth = tenth;
    }
    lastPhase = phase;
    lastPercent = percent;
}

void ProgressDisplay::Finish()
{
    if (drawn) {
        std::fputc('\n', out);
        std::fflush(out);
        drawn = false;
    }
    lastPhase.clear();
    lastTenth = lastPercent = -1;
}
