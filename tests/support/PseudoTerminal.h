#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal pair for tests: the tool opens slavePath() like any
// serial device, the test plays the far end on the master side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsValid() const { return master >= 0; }
    const std::string& SlavePath() const { return slavePath; }

    void Send(const std::vector<std::uint8_t>& bytes);
    // What the tool has written so far (waits up to timeoutMs for the first byte).
    std::vector<std::uint8_t> Receive(int timeoutMs = 200);

private:
    int master = -1;
    int slave = -1;  // held open so the line stays up between the tool's opens
    std::string slavePath;
};
