#pragma once

#include "operations/production/LineJob.h"
#include "production/DatabaseAddress.h"

#include <chrono>
#include <string>
#include <vector>

class LineView;
struct Recipe;

// What a production line of several ports runs with: every port gets a
// thread of its own, and in it its own link, MachineInfo, runner, database
// connection and copy of the recipe. Nothing is shared between the threads
// but the view and the stop flags.
struct LinePortsSetup {
    std::vector<std::string> ports;  // as given: com1 .. com8 or device paths
    DatabaseAddress database;
    std::string station;
    std::chrono::seconds eraseTimeout{60};
    bool trace = false;  // every byte on the view's trace lines
};

// One port's run.
struct PortRun {
    std::string port;
    LineOutcome outcome;
    std::chrono::milliseconds duration{0};
};

// Runs `recipe` (loaded and checked) on every port at once and waits for all
// of them. A port that fails (its device missing, its machine refusing, its
// database connection lost) ends alone; the others go on. A stop (Ctrl-C)
// reaches each at its next tick. The runs in the order of the ports.
std::vector<PortRun> RunLineOnPorts(const LinePortsSetup& setup, const Recipe& recipe, LineView& view);

// The exit code of a line of ports: the worst port's, in this order of
// severity: 5, 7, 6, 4, 3, 2, 1, 0.
int WorstExitCode(const std::vector<int>& codes);
