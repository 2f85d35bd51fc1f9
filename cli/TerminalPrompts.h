#pragma once

#include "common/Prompts.h"

#include <cstdio>

// The prompts of the command line. A confirmation is given by --yes, or asked
// on the terminal (only y or yes, in any case, confirms); with neither, the
// answer is No. An error box's text is a result line on `out`. The command
// line shows no file dialog: it is given its files.
class TerminalPrompts final : public Prompts {
public:
    TerminalPrompts(bool yes, std::FILE* in, std::FILE* out, std::FILE* err);

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override;
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    void Error(const std::string& caption, const std::string& text) override;

    // A confirmation can be had: --yes, or standard input on a terminal.
    bool CanConfirm() const;

private:
    bool yes;
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
};
