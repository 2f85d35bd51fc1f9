#include "cli/CliCommands.h"

#include "operations/readout/MachineInfo.h"
#include "cli/CliHelp.h"
#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "cli/ConsoleCommand.h"
#include "cli/DecodeCommand.h"
#include "cli/DownloadCommands.h"
#include "cli/FlashCommands.h"
#include "cli/LineCommand.h"
#include "cli/MachineCommands.h"
#include "cli/PortCommands.h"
#include "cli/ProductionCommands.h"
#include "cli/FileChecks.h"
#include "cli/MachineInfoJson.h"
#include "common/QtText.h"
#include "common/TextFormat.h"
#include "operations/machine/MachineJobs.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/FileKinds.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

using Arguments = std::vector<std::string>;

// What a loaded file holds, by its kind: its size and what the machine
// checks it against.
QJsonObject LoadedMembers(FileKind kind, const ToolContext& context)
{
    switch (kind) {
    case FileKind::User: {
        const UserImage& image = context.userImage;
        return QJsonObject{
            {"size", qint64(image.dataLength)},
            {"hardwareVersion", qint64(image.hardware)},
            {"hardwareVersionHex", QString::fromStdString(FormatText("%06X", unsigned(image.hardware)))},
            {"softwareVersion", qint64(image.softwareVersion)},
            {"softwareVersionText", QStringFromLatin1(VersionText(image.softwareVersion))},
            {"zones", qint64(image.zoneCount)},
            {"vectors", qint64(image.vectorCount)},
        };
    }
    case FileKind::Factory: {
        const FactoryImage& image = context.factoryImage;
        QJsonObject members = IdentityMembers(image.hardIdent, image.flashIdent);
        members.insert("size", qint64(image.imageLength));
        members.insert("erases", qint64(image.eraseVectorCount));
        return members;
    }
    case FileKind::Boot: {
        const BootImage& image = context.bootImage;
        return QJsonObject{
            {"size", qint64((image.endAddress - image.runAddress) * BootImage::kWordBytes)},
            {"words", qint64(image.endAddress - image.runAddress)},
            {"runAddress", qint64(image.runAddress)},
            {"runAddressHex", AddressHex(image.runAddress)},
        };
    }
    case FileKind::Symbols: return QJsonObject{{"records", qint64(context.symbols.Count())}};
    case FileKind::Backup: return {};
    }
    return {};
}

// check --json: the loader's verdict, and what the file holds when it passed.
QJsonObject CheckMembers(FileKind kind, const LoadResult& result, const ToolContext& context)
{
    QJsonObject members = result.loaded ? LoadedMembers(kind, context) : QJsonObject{};
    members.insert("kind", KindInfo(kind).name);
    members.insert("loaded", result.loaded);
    members.insert("statusText", QStringFromLatin1(result.statusText));
    members.insert("detail", QStringFromLatin1(result.detail));
    return members;
}

ExitCode Ident(CliSession& session, const Arguments&)
{
    CliJob job(session);
    const JobOutcome outcome = ReadMachine(job.Context(), ReadoutKind::Identity);
    if (outcome.end == JobEnd::PortUnavailable)
        return session.LinkRefusal();
    const MachineInfo& info = session.context.machineInfo;
    if (info.answered)
        session.report.Merge(IdentityMembers(info.hardIdent, info.flashIdent));
    session.Say(outcome.text);
    return ExitCodeOf(session, outcome);
}

ExitCode Info(CliSession& session, const Arguments&)
{
    CliJob job(session);
    const JobOutcome outcome = ReadMachine(job.Context(), ReadoutKind::Full);
    if (outcome.end == JobEnd::PortUnavailable)
        return session.LinkRefusal();
    session.PrintPanel(session.context.machineInfo);
    return ExitCodeOf(session, outcome);
}

ExitCode Check(CliSession& session, const Arguments& arguments)
{
    const std::string& path = arguments[0];
    const auto kind = session.options.kind ? KindByName(*session.options.kind) : KindOfPath(path);
    if (!kind)
        return session.UsageError("cannot tell the kind of '" + path + "' from its extension: give --kind");
    const LoadResult result = LoadFile(*kind, path, session.context.Targets());
    session.report.Merge(CheckMembers(*kind, result, session.context));
    session.Say(result.detail.empty() ? result.statusText : result.statusText + "\t" + result.detail);
    if (!result.loaded)
        SayWhyRefused(session, path, result.statusText);
    return result.loaded ? ExitCode::Done : ExitCode::FileRefused;
}

// The options of the commands that talk to the machine, and of the downloads.
constexpr CliOptionSet kLineOptions =
    OptionSet({CliOption::Port, CliOption::Json, CliOption::Trace, CliOption::Quiet, CliOption::Record});
constexpr CliOptionSet kDownloadOptions = kLineOptions | OptionSet({CliOption::Verify, CliOption::EraseTimeout});

constexpr const char* kDownloadExitCodes =
    "0\tdone\n"
    "1\tthe machine did not answer\n"
    "2\tthe command line was wrong\n"
    "3\tthe file was refused\n"
    "4\tthe machine refused or failed the download (\"Erase timed out\"\n"
    "\tincluded)\n"
    "5\taborted\n"
    "6\tthe port could not be opened, or none was selected";

constexpr const char* kReadExitCodes =
    "0\tdone\n"
    "1\tthe machine did not answer\n"
    "2\tthe command line was wrong\n"
    "5\taborted\n"
    "6\tthe port could not be opened, or none was selected";

constexpr const char* kReadFileExitCodes =
    "0\tdone\n"
    "1\tthe machine did not answer\n"
    "2\tthe command line was wrong\n"
    "3\tthe file could not be written\n"
    "4\tthe machine has no user area to read (backup)\n"
    "5\taborted\n"
    "6\tthe port could not be opened, or none was selected";

constexpr const char* kWriteExitCodes =
    "0\tdone\n"
    "1\tthe machine did not answer\n"
    "2\tthe command line or the text was wrong, or there was neither\n"
    "\t--yes nor a terminal to confirm on\n"
    "4\tthe field is written already, or the machine refused\n"
    "5\tnot confirmed, or aborted\n"
    "6\tthe port could not be opened, or none was selected";

constexpr std::array kCommands{
    CliCommand{.name = "ident", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "read the machine's identity", .run = Ident,
               .options = kLineOptions, .exitCodes = kReadExitCodes},
    CliCommand{.name = "info", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "read the machine's information, one panel row a line", .run = Info,
               .options = kLineOptions, .exitCodes = kReadExitCodes},
    CliCommand{.name = "check", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "load a .tbu, .tbf, .tb, .tfs or .tbk file and print the loader's verdict", .run = Check,
               .arguments = "FILE\ta user program (.tbu), factory image (.tbf), boot program (.tb),\n"
                            "\tsymbol file (.tfs) or backup (.tbk)",
               .options = OptionSet({CliOption::Kind, CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tthe file was loaded\n"
                            "2\tthe command line was wrong, or the file's kind cannot be told\n"
                            "\tfrom its extension (give --kind)\n"
                            "3\tthe file was refused"},
    CliCommand{.name = "download", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "download a user program (.tbu) into the machine", .run = DownloadCommand,
               .arguments = "FILE\tthe user program (.tbu)",
               .options = kDownloadOptions, .exitCodes = kDownloadExitCodes},
    CliCommand{.name = "factory", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "download a factory image (.tbf) into a machine it is for", .run = FactoryCommand,
               .arguments = "FILE\tthe factory image (.tbf) for the machine's identities",
               .options = kDownloadOptions, .exitCodes = kDownloadExitCodes},
    CliCommand{.name = "boot", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "stream a boot program (.tb) to the machine's resident loader", .run = BootCommand,
               .arguments = "FILE\tthe boot program (.tb); the machine waits in its resident\n"
                            "\tloader (program-loader, or RTS held at power-up)",
               .options = kLineOptions,
               .exitCodes = "0\tdone\n"
                            "1\tthe port did not take the bytes\n"
                            "2\tthe command line was wrong\n"
                            "3\tthe file was refused\n"
                            "5\taborted\n"
                            "6\tthe port could not be opened, or none was selected"},
    CliCommand{.name = "write-serial", .synopsis = "TEXT", .minArguments = 1, .maxArguments = 1,
               .help = "write the serial number, once, into a blank field", .run = WriteSerialCommand,
               .arguments = "TEXT\tat most 8 characters, trimmed; a text that begins with \"-\"\n"
                            "\tfollows \"--\": write-serial -- -42-",
               .options = kLineOptions | OptionSet({CliOption::Yes}), .exitCodes = kWriteExitCodes},
    CliCommand{.name = "write-name", .synopsis = "TEXT", .minArguments = 1, .maxArguments = 1,
               .help = "write the machine name, once, into a blank field", .run = WriteNameCommand,
               .arguments = "TEXT\tat most 32 characters, trimmed; a text that begins with \"-\"\n"
                            "\tfollows \"--\": write-name -- \"-Line 3-\"",
               .options = kLineOptions | OptionSet({CliOption::Yes}), .exitCodes = kWriteExitCodes},
    CliCommand{.name = "power-off", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "switch the machine off", .run = PowerOffCommand,
               .options = kLineOptions, .exitCodes = kReadExitCodes},
    CliCommand{.name = "program-loader", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "put the machine into its resident loader (for boot)", .run = ProgramLoaderCommand,
               .options = kLineOptions, .exitCodes = kReadExitCodes},
    CliCommand{.name = "set-port", .synopsis = "[NAME [DEVICE]]", .minArguments = 0, .maxArguments = 2,
               .help = "store the port (com1 .. com8) and its device as the port dialog does; alone: print them",
               .run = SetPortCommand,
               .arguments = "NAME\tcom1 .. com8, stored as the port to use\n"
                            "DEVICE\tthe device NAME stands for (/dev/ttyUSB0), stored by its\n"
                            "\tstable name in /dev/serial/by-id where it has one",
               .options = OptionSet({CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tstored, or printed\n"
                            "2\tthe command line was wrong, or NAME is not com1 .. com8\n"
                            "3\tthe settings could not be written"},
    CliCommand{.name = "ports", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "list the serial ports present and the port names that stand for them", .run = PortsCommand,
               .options = OptionSet({CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tlisted (\"No serial port found\" included)\n"
                            "2\tthe command line was wrong",
               .details = "One port a line, in columns: its device (/dev/ttyUSB0), its stable\n"
                          "name (in /dev/serial/by-id, which survives re-plugging), the\n"
                          "description and the manufacturer the adapter gives, its USB\n"
                          "vendor:product id, its serial number, and which of com1 .. com8\n"
                          "stand for it; \"-\" where a port has none. On a terminal the\n"
                          "columns are aligned under a header; piped, the fields are\n"
                          "separated by TABs and no header is printed, for cut and awk."},
    CliCommand{.name = "read-flash", .synopsis = "ADDRESS LENGTH FILE", .minArguments = 3, .maxArguments = 3,
               .help = "read LENGTH bytes of flash from ADDRESS (0x.. or decimal) into FILE",
               .run = ReadFlashCommand,
               .arguments = "ADDRESS\tthe first address: 0xD20000, 13762560 or 064400000\n"
                            "LENGTH\tthe count of bytes, 1 to 0x1000000\n"
                            "FILE\twritten whole at the end, or not at all",
               .options = kLineOptions, .exitCodes = kReadFileExitCodes},
    CliCommand{.name = "backup", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "keep the machine's user area, and what the readout found, in FILE", .run = BackupCommand,
               .arguments = "FILE\tthe backup (see doc/backup-format.md), written whole at the\n"
                            "\tend, or not at all",
               .options = kLineOptions, .exitCodes = kReadFileExitCodes},
    CliCommand{.name = "restore", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "put a backup's user area back into a machine of its type", .run = RestoreCommand,
               .arguments = "FILE\ta backup of a machine with the same identities and user area",
               .options = kDownloadOptions | OptionSet({CliOption::Yes}),
               .exitCodes = "0\tdone\n"
                            "1\tthe machine did not answer\n"
                            "2\tthe command line was wrong, or there was neither --yes nor a\n"
                            "\tterminal to confirm on\n"
                            "3\tthe backup was refused: unreadable, damaged, or of another\n"
                            "\tmachine type\n"
                            "4\tthe machine's user area differs, or the machine refused or\n"
                            "\tfailed the restore (a failed verify included)\n"
                            "5\tnot confirmed, or aborted\n"
                            "6\tthe port could not be opened, or none was selected"},
    CliCommand{.name = "console", .synopsis = "LINE...", .minArguments = 0,
               .maxArguments = std::numeric_limits<std::size_t>::max(),
               .help = "run developer console lines (none: each line of standard input)", .run = ConsoleCommand,
               .arguments = "LINE\tone console line (quote a line with blanks); none: each\n"
                            "\tline of standard input",
               .options = kLineOptions | OptionSet({CliOption::Symbols, CliOption::Reads}),
               .exitCodes = "0\tevery line ran cleanly\n"
                            "1\ta line answered \"No answer\"\n"
                            "2\ta line gave another error or was one of the window's\n"
                            "\tcommands (clear, load, save), or the command line was wrong\n"
                            "3\tthe --symbols file could not be opened\n"
                            "5\taborted (a watch ended with Ctrl-C included)\n"
                            "6\tthe port could not be opened, or none was selected"},
    CliCommand{.name = "decode", .synopsis = "FILE", .minArguments = 1, .maxArguments = 1,
               .help = "print a recording of the line (--record) as a readable session", .run = DecodeCommand,
               .arguments = "FILE\ta recording made with --record",
               .options = OptionSet({CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tdone: the recording was read to its end\n"
                            "2\tthe command line was wrong\n"
                            "3\tthe file could not be read, or is no recording"},
    CliCommand{.name = "line", .synopsis = "RECIPE", .minArguments = 1, .maxArguments = 1,
               .help = "make a machine on each --port as a recipe says, and record it (the production line)",
               .run = LineCommand,
               .arguments = "RECIPE\tthe recipe (JSON): the factory image and user program, each\n"
                            "\tverified when it says so, the serial number pool, the machine\n"
                            "\tname, power off",
               .options = OptionSet({CliOption::Port, CliOption::Database, CliOption::Station, CliOption::Json,
                                     CliOption::Trace, CliOption::Quiet, CliOption::Record}),
               .exitCodes = "0\tdone: the machine made and recorded\n"
                            "1\tthe machine did not answer\n"
                            "2\tthe command line or the recipe was wrong (its key and why), or\n"
                            "\tits pool is missing or used up\n"
                            "3\ta file, the recipe or one it names, was refused\n"
                            "4\tthe machine refused or failed a step (a failed verify, a\n"
                            "\trefused write, a serial number written already)\n"
                            "5\taborted\n"
                            "6\tthe port could not be opened, or none was selected\n"
                            "7\tthe database could not be reached or written: nothing touched;\n"
                            "\tor lost during the run, the record then in unrecorded-TIME.json",
               .details = "Nothing is asked: the recipe is the confirmation. The recipe and\n"
                          "its files are loaded and the database reached before the machine\n"
                          "is touched. Each step's result is printed as \"STEP: RESULT\"\n"
                          "(factory, factory verify, download, download verify, serial\n"
                          "number, machine name, power off), the run's result last. A\n"
                          "machine that holds a serial number takes none. Every machine\n"
                          "touched is recorded (see history).\n"
                          "\n"
                          "With --port given several times (a line of adapters), each port\n"
                          "makes its machine at the same time, on its own, a failure on one\n"
                          "stopping no other. Standard error shows one line per port, redrawn\n"
                          "in place on a terminal (port, step, progress, result), elsewhere\n"
                          "one line per event, \"PORT: STEP: RESULT\"; with --json one object\n"
                          "a line, each with its \"port\". At the end, a line per port on\n"
                          "standard output (port, serial number, name, time, result), or\n"
                          "with --json a member per port in \"ports\". The exit code is the\n"
                          "worst port's, in this order: 5, 7, 6, 4, 3, 2, 1, 0. Ctrl-C stops\n"
                          "every port at its next tick, each machine recorded as aborted."},
    CliCommand{.name = "serials", .synopsis = "add|status [NAME]", .minArguments = 1, .maxArguments = 2,
               .help = "add a serial number pool, or show what became of the pools' numbers", .run = SerialsCommand,
               .arguments = "add NAME\tadd the pool NAME: --prefix, --first, --last and\n"
                            "\t--digits (prefix and digits make 8 characters at most); a\n"
                            "\tpool that could give a number another pool gives is refused\n"
                            "status [NAME]\teach pool, or pool NAME: its next number, how many of its\n"
                            "\tnumbers are allocated, written, void and in doubt, and the\n"
                            "\tnumbers allocated or in doubt",
               .options = OptionSet({CliOption::Database, CliOption::Station, CliOption::Prefix, CliOption::First,
                                     CliOption::Last, CliOption::Digits, CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tdone\n"
                            "2\tthe command line was wrong, the pool was refused, or there is\n"
                            "\tno pool NAME\n"
                            "7\tthe database could not be reached or written"},
    CliCommand{.name = "history", .synopsis = "", .minArguments = 0, .maxArguments = 0,
               .help = "the machines made: one line each, or every field as CSV or JSON", .run = HistoryCommand,
               .options = OptionSet({CliOption::Database, CliOption::Serial, CliOption::Station, CliOption::Since,
                                     CliOption::Csv, CliOption::Json, CliOption::Quiet}),
               .exitCodes = "0\tdone (\"No machine recorded\" included)\n"
                            "2\tthe command line was wrong\n"
                            "7\tthe database could not be reached or read"},
    CliCommand{.name = "help", .synopsis = "[COMMAND]", .minArguments = 0, .maxArguments = 1,
               .help = "this help, or one command's arguments, options and exit codes", .run = HelpCommand,
               .arguments = "COMMAND\tthe command to describe",
               .exitCodes = "0\tdone\n"
                            "2\tno such command"},
};

}  // namespace

std::span<const CliCommand> CliCommands()
{
    return kCommands;
}

const CliCommand* FindCliCommand(std::string_view name)
{
    const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const CliCommand& command) { return name == command.name; });
    return found == kCommands.end() ? nullptr : &*found;
}
