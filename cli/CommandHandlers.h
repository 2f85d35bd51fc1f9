#pragma once

#include "cli/ExitCode.h"

#include <string>
#include <vector>

class CliSession;
class Procedure;

// The handlers of mirelle-cli's command table, by topic.
using CliArguments = std::vector<std::string>;

// Files into the machine (DownloadCommands.cpp).
ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments);
ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments);
ExitCode BootCommand(CliSession& session, const CliArguments& arguments);

// Flash read back (FlashCommands.cpp): read-flash ADDRESS LENGTH FILE,
// backup FILE, restore FILE; and --verify after a download that ended
// "Done": what it wrote read back and compared ("Verified").
ExitCode ReadFlashCommand(CliSession& session, const CliArguments& arguments);
ExitCode BackupCommand(CliSession& session, const CliArguments& arguments);
ExitCode RestoreCommand(CliSession& session, const CliArguments& arguments);
ExitCode VerifyWritten(CliSession& session, const Procedure& download);

// The once-only fields and the power requests (MachineCommands.cpp).
ExitCode WriteSerialCommand(CliSession& session, const CliArguments& arguments);
ExitCode WriteNameCommand(CliSession& session, const CliArguments& arguments);
ExitCode PowerOffCommand(CliSession& session, const CliArguments& arguments);
ExitCode ProgramLoaderCommand(CliSession& session, const CliArguments& arguments);

// The stored port and the ports present (PortCommands.cpp). set-port NAME
// [DEVICE] stores "ComPort" (and "Ports/NAME", by the device's stable name
// where it has one) as the port dialog does; alone it prints what is stored.
ExitCode SetPortCommand(CliSession& session, const CliArguments& arguments);
ExitCode PortsCommand(CliSession& session, const CliArguments& arguments);

// mirelle-cli console [LINE...]: each line (the arguments, or with none the
// lines of standard input) through the console's interpreter, with its
// defaults, last command and symbol table, each output printed as the
// console window would append it. A watch polls in the terminal
// (ConsoleCommand.cpp).
ExitCode ConsoleCommand(CliSession& session, const CliArguments& lines);

// The production station's data (ProductionCommands.cpp): serials add NAME,
// serials status [NAME], and history, on the database --database names.
ExitCode SerialsCommand(CliSession& session, const CliArguments& arguments);
ExitCode HistoryCommand(CliSession& session, const CliArguments& arguments);

// mirelle-cli help [COMMAND]: the whole help, or the command's (CliHelp.cpp).
ExitCode HelpCommand(CliSession& session, const CliArguments& arguments);

// mirelle-cli decode FILE: a recording of the line (--record) as one line an
// exchange and a summary, or with --json one object (DecodeCommand.cpp).
ExitCode DecodeCommand(CliSession& session, const CliArguments& arguments);
