#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of mirelle-loader: --developer, --record FILE, --help,
// --version, and at most one FILE to open, as a desktop entry's %f gives it.
// Read before the application object exists, so that --help
// and --version need no display.
struct LoaderOptions {
    bool developer = false;  // also show the boot and factory panels and the hidden Tools entries
    bool help = false;
    bool version = false;
    std::string file;                   // empty: none given
    std::optional<std::string> record;  // --record FILE: every event of the serial line into FILE
    std::string error;  // one line, for an option that is not one of these or a second file
};

LoaderOptions ParseLoaderOptions(const std::vector<std::string>& arguments);

std::string LoaderUsageText();
std::string LoaderVersionText();
