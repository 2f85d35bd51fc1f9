#include "cli/CliCommands.h"

#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"
#include "cli/CommandHandlers.h"
#include "images/FileKinds.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

using Arguments = std::vector<std::string>;

ExitCode Ident(CliSession& session, const Arguments&)
{
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    MachineInfo& info = session.context.machineInfo;
    ReadIdentOnly(session.context.link, info);
    session.Say(info.answered ? info.identText : info.statusText);
    return info.answered ? ExitCode::Done : ExitCode::NoAnswer;
}

ExitCode Info(CliSession& session, const Arguments&)
{
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    MachineInfo& info = session.context.machineInfo;
    ReadMachineInfo(session.context.link, info);
    session.PrintPanel(info);
    return info.answered ? ExitCode::Done : ExitCode::NoAnswer;
}

ExitCode Check(CliSession& session, const Arguments& arguments)
{
    const std::string& path = arguments[0];
    const auto kind = session.options.kind ? KindByName(*session.options.kind) : KindOfPath(path);
    if (!kind) {
        session.Complain("cannot tell the kind of '" + path + "' from its extension: give --kind");
        return ExitCode::Usage;
    }
    const LoadResult result = LoadFile(*kind, path, session.context.Targets());
    session.Say(result.detail.empty() ? result.statusText : result.statusText + "\t" + result.detail);
    return result.loaded ? ExitCode::Done : ExitCode::FileRefused;
}

constexpr std::array kCommands{
    CliCommand{"ident", "", 0, 0, "read the machine's identity", Ident},
    CliCommand{"info", "", 0, 0, "read the machine's information, one panel row a line", Info},
    CliCommand{"check", "FILE", 1, 1, "load a .tbu, .tbf, .tb or .tfs file and print the loader's verdict", Check},
    CliCommand{"download", "FILE", 1, 1, "download a user program (.tbu) into the machine", DownloadCommand},
    CliCommand{"factory", "FILE", 1, 1, "download a factory image (.tbf) into a machine it is for", FactoryCommand},
    CliCommand{"boot", "FILE", 1, 1, "stream a boot program (.tb) to the machine's resident loader", BootCommand},
    CliCommand{"write-serial", "TEXT", 1, 1, "write the serial number, once, into a blank field", WriteSerialCommand},
    CliCommand{"write-name", "TEXT", 1, 1, "write the machine name, once, into a blank field", WriteNameCommand},
    CliCommand{"power-off", "", 0, 0, "switch the machine off", PowerOffCommand},
    CliCommand{"program-loader", "", 0, 0, "put the machine into its resident loader (for boot)", ProgramLoaderCommand},
    CliCommand{"set-port", "[NAME [DEVICE]]", 0, 2,
               "store the port (com1 .. com8) and its device as the port dialog does; alone: print them",
               SetPortCommand},
    CliCommand{"ports", "", 0, 0, "list the serial ports present and the port names that stand for them",
               PortsCommand},
    CliCommand{"console", "LINE...", 0, std::numeric_limits<std::size_t>::max(),
               "run developer console lines (none: each line of standard input)", ConsoleCommand},
    CliCommand{"decode", "FILE", 1, 1, "print a recording of the line (--record) as a readable session", DecodeCommand},
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
