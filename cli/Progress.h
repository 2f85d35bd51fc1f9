#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Shows the progress of a long operation on a stream: a bar redrawn in place
// when the stream is a terminal, otherwise a plain line at each phase change
// and every tenth of the way.
class ProgressDisplay {
public:
    explicit ProgressDisplay(std::FILE* out);
    ~ProgressDisplay();

    void Show(const std::string& phase, std::uint64_t position, std::uint64_t maximum);
    // Ends the bar's line, if one is drawn.
    void Finish();

private:
    std::FILE* out;
    bool terminal;
    bool drawn = false;
    std::string lastPhase;
    int lastTenth = -1;
    int lastPercent = -1;
};
