#pragma once

#include <string>
#include <vector>

// The command line of mirelle-loader: --developer, --help, --version, and at
// most one FILE to open, as a desktop entry's %f gives it. Read before the application object exists, so that --help
// and --version need no display.
struct LoaderOptions {
    bool developer = false;  // also show the boot and factory panels and the hidden Tools entries
    bool help = false;
    bool version = false;
    std::string file;   // empty: none given
    std::string error;  // one line, for an option that is not one of these or a second file
};

LoaderOptions ParseLoaderOptions(const std::vector<std::string>& arguments);

std::string LoaderUsageText();
std::string LoaderVersionText();
