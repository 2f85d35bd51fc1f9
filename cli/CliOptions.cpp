#include "cli/CliOptions.h"

#include "cli/CliCommands.h"
#include "images/FileKinds.h"
#include "production/MachineHistory.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <string_view>
#include <vector>

namespace {

constexpr std::array kOptions{
    CliOptionRow{CliOption::Port, "p", "port", "NAME",
                 "com1 .. com8 (see \"Port names\" in the README) or a\n"
                 "device path; without it, the environment variable\n"
                 "MIRELLE_PORT, else the port stored by the tool\n"
                 "(\"ComPort\", see set-port)",
                 "a port name"},
    CliOptionRow{CliOption::Json, "j", "json", "",
                 "one JSON object instead of the results: result,\n"
                 "exitCode and what the command found; progress as\n"
                 "JSON lines on standard error",
                 ""},
    CliOptionRow{CliOption::Trace, "t", "trace", "", "every byte sent and received on standard error,\ntime-stamped",
                 ""},
    CliOptionRow{CliOption::Yes, "y", "yes", "", "answer yes to confirmations (write-serial, write-name,\nrestore)",
                 ""},
    CliOptionRow{CliOption::Quiet, "q", "quiet", "", "results only: no progress, no loaded file's summary", ""},
    CliOptionRow{CliOption::Verify, "", "verify", "",
                 "download, factory, restore: compare what was written\nwith the flash read back", ""},
    CliOptionRow{CliOption::Kind, "", "kind", "K",
                 "check: read the file as user, factory, boot, symbols or\nbackup instead of going by its extension",
                 "one of user, factory, boot, symbols, backup"},
    CliOptionRow{CliOption::Symbols, "", "symbols", "FILE",
                 "console: load this symbol file (.tfs) first", "a file"},
    CliOptionRow{CliOption::Reads, "", "reads", "N", "console: a watch stops after N reads, not at Ctrl-C",
                 "a count of reads (0 or more)"},
    CliOptionRow{CliOption::EraseTimeout, "", "erase-timeout", "SECONDS",
                 "download, factory: an erase phase that lasts longer ends\n"
                 "the download with \"Erase timed out\" (default 60)",
                 "a number of seconds"},
    CliOptionRow{CliOption::Record, "", "record", "FILE",
                 "every event of the serial line into FILE, for a bug\n"
                 "report (read it with decode, replay it with\n"
                 "mirelle-sim --replay FILE)",
                 "a file"},
    CliOptionRow{CliOption::Database, "", "database", "FILE|URI",
                 "line, serials, history: the production database, a\n"
                 "SQLite file or a PostgreSQL server's URI\n"
                 "(postgresql://USER@HOST/DATABASE); without it the\n"
                 "station's own file (see the README)",
                 "a file or a postgresql:// URI"},
    CliOptionRow{CliOption::Station, "", "station", "NAME",
                 "the station's name in the records (default: the host\nname); history: only this station's machines",
                 "a station name"},
    CliOptionRow{CliOption::Prefix, "", "prefix", "TEXT", "serials add: the text before each number (SN-)",
                 "a text"},
    CliOptionRow{CliOption::First, "", "first", "N", "serials add: the pool's first number", "a number"},
    CliOptionRow{CliOption::Last, "", "last", "N", "serials add: the pool's last number", "a number"},
    CliOptionRow{CliOption::Digits, "", "digits", "N", "serials add: the digits of each number, zero-padded",
                 "a count of digits"},
    CliOptionRow{CliOption::Serial, "", "serial", "TEXT",
                 "history: only the machines with this serial number", "a serial number"},
    CliOptionRow{CliOption::Since, "", "since", "DATE",
                 "history: only the runs started at or after DATE\n(2024-05-01, or 2024-05-01T08:30 local time)",
                 "a date (2024-05-01) or a date and time (2024-05-01T08:30)"},
    CliOptionRow{CliOption::Csv, "", "csv", "", "history: CSV, a line of column names first", ""},
    CliOptionRow{CliOption::Help, "h", "help", "", "this help; with a command, that command's", ""},
    CliOptionRow{CliOption::Version, "", "version", "", "the version", ""},
};

const CliOptionRow& RowNamed(const QString& name)
{
    return *std::find_if(kOptions.begin(), kOptions.end(), [&name](const CliOptionRow& row) {
        return name == QLatin1String(row.shortName) || name == QLatin1String(row.longName);
    });
}

// The words of the command line travel through Qt as Latin-1, one character
// a byte, so that every argument comes back byte for byte whatever its
// encoding; the option names are ASCII.
QString Word(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::string Bytes(const QString& word)
{
    return word.toLatin1().toStdString();
}

QCommandLineOption QtOption(const CliOptionRow& row)
{
    QStringList names{QLatin1String(row.longName)};
    if (*row.shortName)
        names.prepend(QLatin1String(row.shortName));
    return QCommandLineOption(names, QString(), QLatin1String(row.valueName));
}

std::string NeedsText(const CliOptionRow& row)
{
    return "--" + std::string(row.longName) + " needs " + row.needs;
}

// A count in decimal digits only, within an unsigned.
std::optional<unsigned> ReadCount(const std::string& text)
{
    unsigned count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return count;
}

// Takes one option found on the line into `options`: what is wrong with its
// value, or nothing.
std::string Take(const CliOptionRow& row, const std::string& value, CliOptions& options)
{
    switch (row.id) {
    case CliOption::Port:
        options.port = value;
        options.ports.push_back(value);
        break;
    case CliOption::Yes: options.yes = true; break;
    case CliOption::Json: options.json = true; break;
    case CliOption::Trace: options.trace = true; break;
    case CliOption::Quiet: options.quiet = true; break;
    case CliOption::Verify: options.verify = true; break;
    case CliOption::Help: options.help = true; break;
    case CliOption::Version: options.version = true; break;
    case CliOption::Symbols: options.symbols = value; break;
    case CliOption::Record: options.record = value; break;
    case CliOption::Database: options.database = value; break;
    case CliOption::Prefix: options.prefix = value; break;
    case CliOption::Serial: options.serial = value; break;
    case CliOption::Csv: options.csv = true; break;
    case CliOption::Station:
        if (value.empty())
            return NeedsText(row);
        options.station = value;
        break;
    case CliOption::Since:
        if (!ParseSince(value))
            return NeedsText(row);
        options.since = value;
        break;
    case CliOption::First:
    case CliOption::Last:
    case CliOption::Digits: {
        const std::optional<unsigned> number = ReadCount(value);
        if (!number)
            return NeedsText(row);
        (row.id == CliOption::First ? options.first : row.id == CliOption::Last ? options.last : options.digits) =
            number;
        break;
    }
    case CliOption::Kind:
        if (!KindByName(value))
            return "unknown file kind '" + value + "' (user, factory, boot, symbols or backup)";
        options.kind = value;
        break;
    case CliOption::Reads:
        if (!(options.reads = ReadCount(value)))
            return NeedsText(row);
        break;
    case CliOption::EraseTimeout: {
        // No erase ends at once: 0 would end every download at its first erase.
        const std::optional<unsigned> seconds = ReadCount(value);
        if (!seconds || *seconds == 0)
            return NeedsText(row);
        options.eraseTimeout = std::chrono::seconds(*seconds);
        break;
    }
    }
    return {};
}

// What the parser found wrong, in the tool's words where it has them.
std::string ParseError(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + Bytes(name) + "'";
    }
    // An option given more often than it has values lacks its last one.
    std::map<const CliOptionRow*, qsizetype> given;
    for (const QString& name : parser.optionNames())
        ++given[&RowNamed(name)];
    for (const auto& [row, count] : given) {
        if (*row->valueName && parser.values(QLatin1String(row->longName)).size() < count)
            return NeedsText(*row);
    }
    std::string text = Bytes(parser.errorText());  // "Unexpected value after '--yes=1'."
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// The options found, in the order given; an option given again takes its
// values in turn, and the last one counts.
std::string TakeOptions(const QCommandLineParser& parser, CliOptions& options)
{
    std::map<const CliOptionRow*, qsizetype> taken;
    for (const QString& name : parser.optionNames()) {
        const CliOptionRow& row = RowNamed(name);
        const QStringList values = parser.values(name);
        const qsizetype index = taken[&row]++;
        const std::string value = index < values.size() ? Bytes(values[index]) : std::string();
        if (std::string error = Take(row, value, options); !error.empty())
            return error;
    }
    return {};
}

// The edits that make one word the other (Levenshtein): a letter left out,
// added or changed.
std::size_t EditDistance(std::string_view from, std::string_view to)
{
    std::vector<std::size_t> row(to.size() + 1);
    for (std::size_t j = 0; j <= to.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= from.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (from[i - 1] == to[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[to.size()];
}

// "unknown command 'downlaod'", and the nearest command when it is two
// edits away at most: "; did you mean 'download'?".
std::string UnknownCommand(const std::string& name)
{
    constexpr std::size_t kNearest = 2;
    std::string text = "unknown command '" + name + "'";
    const CliCommand* nearest = nullptr;
    std::size_t best = kNearest + 1;
    for (const CliCommand& command : CliCommands()) {
        if (const std::size_t distance = EditDistance(name, command.name); distance < best) {
            best = distance;
            nearest = &command;
        }
    }
    if (nearest)
        text += "; did you mean '" + std::string(nearest->name) + "'?";
    return text;
}

// Whether a line asks for JSON, read word by word without the parser, for
// a line the parser refuses: --json, --json=..., -j, or a group of short
// switches holding j (up to a letter that takes a value), before "--".
bool AsksForJson(const std::vector<std::string>& arguments)
{
    for (const std::string& word : arguments) {
        if (word == "--")
            return false;
        if (word == "--json" || word.rfind("--json=", 0) == 0)
            return true;
        if (word.size() < 2 || word[0] != '-' || word[1] == '-')
            continue;
        for (const char letter : word.substr(1)) {
            if (letter == 'j')
                return true;
            const auto row = std::find_if(kOptions.begin(), kOptions.end(), [letter](const CliOptionRow& option) {
                return option.shortName[0] == letter && option.shortName[1] == '\0';
            });
            if (row == kOptions.end() || *row->valueName)
                break;
        }
    }
    return false;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    auto fail = [&](std::string text) {
        parsed.error = std::move(text);
        options.json = options.json || AsksForJson(arguments);
        return parsed;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const CliOptionRow& row : kOptions)
        parser.addOption(QtOption(row));
    QStringList words{QStringLiteral("mirelle-cli")};
    for (const std::string& argument : arguments)
        words << Word(argument);
    if (!parser.parse(words))
        return fail(ParseError(parser));
    if (std::string error = TakeOptions(parser, options); !error.empty())
        return fail(std::move(error));
    if (options.version && !options.help)
        return parsed;

    std::vector<std::string> positional;
    for (const QString& word : parser.positionalArguments())
        positional.push_back(Bytes(word));
    if (positional.empty() && !options.help)
        return fail("no command given");

    // "help [COMMAND]", "COMMAND --help" and "--help" alone all run the help
    // command, on the command named.
    if (options.help) {
        positional.resize(std::min<std::size_t>(positional.size(), 1));
        positional.insert(positional.begin(), "help");
    }
    options.command = positional.front();
    options.arguments.assign(positional.begin() + 1, positional.end());
    const CliCommand* command = FindCliCommand(options.command);
    if (!command)
        return fail(UnknownCommand(options.command));
    const std::size_t count = options.arguments.size();
    if (count < command->minArguments || count > command->maxArguments)
        return fail("wrong number of arguments for '" + options.command + "'");
    if (options.command == "help" && count == 1 && !FindCliCommand(options.arguments[0]))
        return fail(UnknownCommand(options.arguments[0]));
    return parsed;
}

std::span<const CliOptionRow> CliOptionRows()
{
    return kOptions;
}
