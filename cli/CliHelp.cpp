#include "cli/CliHelp.h"

#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "common/TextFormat.h"
#include "common/Version.h"

#include <algorithm>
#include <string_view>

namespace {

// Where the options' texts begin.
constexpr std::size_t kOptionColumn = 24;
// Where the texts of arguments and exit codes begin.
constexpr std::size_t kArgumentColumn = 12;
constexpr std::size_t kExitCodeColumn = 6;

// `left` indented, then each line of `right` from `column` on; a left part
// too wide for its column stands on a line of its own.
void AddRow(std::string& text, const std::string& left, std::string_view right, std::size_t column)
{
    std::string line = left.empty() ? std::string() : "  " + left;
    if (line.size() + 2 > column) {
        text += line + "\n";
        line.clear();
    }
    for (std::size_t start = 0; start <= right.size();) {
        const std::size_t end = std::min(right.find('\n', start), right.size());
        line.resize(column, ' ');
        text += line;
        text += right.substr(start, end - start);
        text += '\n';
        line.clear();
        start = end + 1;
    }
}

// Rows of "LEFT<TAB>RIGHT" lines; a line without a left part goes on with the
// row above.
void AddRows(std::string& text, std::string_view rows, std::size_t column)
{
    for (std::size_t start = 0; start < rows.size();) {
        const std::size_t end = std::min(rows.find('\n', start), rows.size());
        const std::string_view line = rows.substr(start, end - start);
        const std::size_t tab = std::min(line.find('\t'), line.size());
        AddRow(text, std::string(line.substr(0, tab)), line.substr(std::min(tab + 1, line.size())), column);
        start = end + 1;
    }
}

void AddOption(std::string& text, const CliOptionRow& option)
{
    std::string left = *option.shortName ? FormatText("-%s, ", option.shortName) : "    ";
    left += FormatText("--%s", option.longName);
    if (*option.valueName)
        left += FormatText(" %s", option.valueName);
    AddRow(text, left, option.help, kOptionColumn);
}

std::string Usage(const CliCommand& command)
{
    return *command.synopsis ? std::string(command.name) + " " + command.synopsis : std::string(command.name);
}

}  // namespace

std::string UsageText()
{
    std::string text = R"(usage: mirelle-cli [OPTION]... COMMAND [ARGUMENT]...

Service tool for the Mirelle recorder on a serial line.

Options, before or after the command and its arguments. A word that begins
with "-" is an option; every word after "--" is an argument, so a text that
begins with "-" follows it: mirelle-cli write-name -- "-Line 3-".
Short options go together: -yj is -y -j.
)";
    for (const CliOptionRow& option : CliOptionRows())
        AddOption(text, option);
    text += "\nCommands:\n";
    std::size_t width = 16;
    for (const CliCommand& command : CliCommands())
        width = std::max(width, Usage(command).size() + 2);
    for (const CliCommand& command : CliCommands())
        text += FormatText("  %-*s%s\n", int(width), Usage(command).c_str(), command.help);
    text += R"(
mirelle-cli help COMMAND (or COMMAND --help): the command's arguments, the
options that apply to it and its exit codes.

Exit codes: 0 done, 1 the machine did not answer, 2 usage error, 3 file refused,
4 the machine refused or failed the operation, 5 aborted,
6 the port could not be opened (or none was selected).
line, serials, history: 7 when the production database could not be reached
or written.
set-port: 2 for a name other than com1 .. com8, 3 when the settings could not
be written.
console: 1 when a line answered "No answer", else 2 when a line gave another
error or was one of the window's commands (clear, load, save).
)";
    return text;
}

std::string CommandHelpText(const CliCommand& command)
{
    std::string text = "usage: mirelle-cli [OPTION]... " + Usage(command) + "\n\n" + command.help + "\n";
    if (*command.details)
        text += "\n" + std::string(command.details) + "\n";
    if (*command.arguments) {
        text += "\nArguments:\n";
        AddRows(text, command.arguments, kArgumentColumn);
    }
    text += "\nOptions:\n";
    for (const CliOptionRow& option : CliOptionRows()) {
        if (Contains(command.options | OptionSet({CliOption::Help}), option.id))
            AddOption(text, option);
    }
    if (*command.exitCodes) {
        text += "\nExit codes:\n";
        AddRows(text, command.exitCodes, kExitCodeColumn);
    }
    return text;
}

std::string VersionText()
{
    return std::string("mirelle-cli ") + kProjectVersion + "\n";
}

ExitCode HelpCommand(CliSession& session, const CliArguments& arguments)
{
    std::string text = arguments.empty() ? UsageText() : CommandHelpText(*FindCliCommand(arguments[0]));
    text.pop_back();  // Say() ends the last line
    session.SayUtf8(text);
    return ExitCode::Done;
}
