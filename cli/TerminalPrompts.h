#pragma once

#include "common/Prompts.h"

#include <cstdio>
#include <functional>
#include <string>

class ErrorStream;

// The prompts of the command line. A confirmation is given by --yes, or asked
// on the terminal (only y or yes, in any case, confirms); with neither, the
// answer is No. An error box's text is a result line, handed to `say`. The
// command line shows no file dialog: it is given its files.
class TerminalPrompts final : public Prompts {
public:
    using ResultLine = std::function<void(const std::string& utf8Line)>;

    // The question is asked through `errors` (with --json as {"question": ...}).
    TerminalPrompts(bool yes, std::FILE* in, ErrorStream& errors, ResultLine say);

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override;
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override;
    using Prompts::Confirm;
    bool Confirm(const std::string& caption, const std::string& text, const std::string& informative) override;
    void Error(const std::string& caption, const std::string& text) override;
    // A result line, as an error box's text is.
    void Inform(const std::string& caption, const std::string& text) override;

    // A confirmation can be had: --yes, or standard input on a terminal.
    bool CanConfirm() const;
    // "standard input is no terminal to confirm on; add --yes to confirm"
    // when none can be had.
    std::optional<std::string> NoConfirmation() const override;

private:
    bool yes;
    std::FILE* in;
    ErrorStream& errors;
    ResultLine say;
};
