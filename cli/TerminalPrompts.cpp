#include "cli/TerminalPrompts.h"

#include "cli/ErrorStream.h"
#include "cli/Signals.h"
#include "cli/Terminal.h"

#include <QString>

#include <utility>

TerminalPrompts::TerminalPrompts(bool yes, std::FILE* in, ErrorStream& errors, ResultLine say)
    : yes(yes), in(in), errors(errors), say(std::move(say))
{
}

std::optional<std::string> TerminalPrompts::OpenFile(const OpenFileQuestion&)
{
    return std::nullopt;
}

std::optional<std::string> TerminalPrompts::SaveFile(const SaveFileQuestion&)
{
    return std::nullopt;
}

bool TerminalPrompts::CanConfirm() const
{
    return yes || IsTerminal(in);
}

std::optional<std::string> TerminalPrompts::NoConfirmation() const
{
    if (CanConfirm())
        return std::nullopt;
    return "standard input is no terminal to confirm on; add --yes to confirm";
}

bool TerminalPrompts::Confirm(const std::string&, const std::string& text, const std::string& informative)
{
    if (yes)
        return true;
    if (!CanConfirm() || StopSignals::Requested())
        return false;
    // The informative text on a line of its own, under the question.
    const std::string question = informative.empty() ? text : text + "\n" + informative;
    if (errors.Json())
        errors.Line(question + " [y/N]", "question");
    else
        errors.Write(question + " [y/N] ");
    char line[64] = {};
    // A stop while waiting: No.
    if (!StopSignals::WaitForInput(in) || !std::fgets(line, sizeof line, in) || StopSignals::Requested())
        return false;
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == "y" || answer == "yes";
}

void TerminalPrompts::Error(const std::string&, const std::string& text)
{
    say(text);
}

void TerminalPrompts::Inform(const std::string&, const std::string& text)
{
    say(text);
}
