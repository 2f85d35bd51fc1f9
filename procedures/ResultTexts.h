#pragma once

#include <string>

// The process-wide result texts of the two downloads, for the main window:
// "Not done" from the moment a download starts until it ends, then its
// result text. Empty before the first download. Whoever drives a download
// (its dialog, the command line) keeps them in step; only a program's entry
// reaches them, to hand them on in the ToolContext.
extern std::string FactoryResultText;
extern std::string UserResultText;
