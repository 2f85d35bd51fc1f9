#include "cli/CliOptions.h"

#include "cli/CliCommands.h"
#include "common/TextFormat.h"
#include "images/FileKinds.h"

#include <algorithm>
#include <charconv>

namespace {

// A count in decimal digits only, within an unsigned.
std::optional<unsigned> ReadCount(const std::string& text)
{
    unsigned count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return count;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    auto fail = [&](std::string text) {
        parsed.error = std::move(text);
        return parsed;
    };

    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        if (word == "--json")
            options.json = true;
        else if (word == "--trace")
            options.trace = true;
        else if (word == "--yes")
            options.yes = true;
        else if (word == "--quiet")
            options.quiet = true;
        else if (word == "--verify")
            options.verify = true;
        else if (word == "--help" || word == "-h")
            options.help = true;
        else if (word == "--port") {
            if (!value(options.port))
                return fail("--port needs a port name");
        } else if (word == "--kind") {
            if (!value(options.kind))
                return fail("--kind needs one of user, factory, boot, symbols");
            const std::string& kind = *options.kind;
            if (!KindByName(kind))
                return fail("unknown file kind '" + kind + "' (user, factory, boot or symbols)");
        } else if (word == "--record") {
            if (!value(options.record))
                return fail("--record needs a file");
        } else if (word == "--symbols") {
            if (!value(options.symbols))
                return fail("--symbols needs a file");
        } else if (word == "--reads") {
            std::optional<std::string> count;
            if (!value(count) || !(options.reads = ReadCount(*count)))
                return fail("--reads needs a count of reads (0 or more)");
        } else if (word == "--erase-timeout") {
            std::optional<std::string> text;
            std::optional<unsigned> seconds;
            if (!value(text) || !(seconds = ReadCount(*text)))
                return fail("--erase-timeout needs a number of seconds");
            options.eraseTimeout = std::chrono::seconds(*seconds);
        } else if (word.starts_with("--"))
            return fail("unknown option '" + word + "'");
        else
            break;
    }
    if (options.help)
        return parsed;
    if (i == arguments.size())
        return fail("no command given");

    options.command = arguments[i];
    options.arguments.assign(arguments.begin() + long(i) + 1, arguments.end());
    const CliCommand* command = FindCliCommand(options.command);
    if (!command)
        return fail("unknown command '" + options.command + "'");
    const std::size_t count = options.arguments.size();
    if (count < command->minArguments || count > command->maxArguments)
        return fail("wrong number of arguments for '" + options.command + "'");
    return parsed;
}

std::string UsageText()
{
    std::string text = R"(usage: mirelle-cli [--port NAME] [--json] [--trace] [--yes] COMMAND [ARGUMENT...]

Service tool for the Mirelle recorder on a serial line.

Options:
  --port NAME     com1 .. com8 (see "Port names" in the README) or a device path;
                  without it, the environment variable MIRELLE_PORT, else the
                  port stored by the tool ("ComPort", see set-port)
  --json          info: print the readout as one JSON object; ports: the list
  --trace         every byte sent and received on standard error, time-stamped
  --yes           answer yes to confirmations (write-serial, write-name)
  --kind K        check: read the file as user, factory, boot or symbols
                  instead of going by its extension
  --symbols FILE  console: load this symbol file (.tfs) before the first line
  --reads N       console: a watch stops after N reads instead of at Ctrl-C
  --record FILE   write every event of the serial line to FILE, for a bug report
                  (replay it with mirelle-sim --replay FILE, read it with decode)
  --erase-timeout SECONDS
                  download, factory: an erase phase that lasts longer ends the
                  download with "Erase timed out" (default 60)

Commands:
)";
    auto usage = [](const CliCommand& command) {
        return *command.synopsis ? std::string(command.name) + " " + command.synopsis : std::string(command.name);
    };
    std::size_t width = 16;
    for (const CliCommand& command : CliCommands())
        width = std::max(width, usage(command).size() + 2);
    for (const CliCommand& command : CliCommands())
        text += FormatText("  %-*s%s\n", int(width), usage(command).c_str(), command.help);
    text += R"(
Exit codes: 0 done, 1 the machine did not answer, 2 usage error, 3 file refused,
4 the machine refused or failed the operation, 5 aborted,
6 the port could not be opened (or none was selected).
set-port: 2 for a name other than com1 .. com8, 3 when the settings could not
be written.
console: 1 when a line answered "No answer", else 2 when a line gave another
error or was one of the window's commands (clear, load, save).
)";
    return text;
}
