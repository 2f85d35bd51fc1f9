#include "cli/CliCommands.h"

#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"
#include "cli/CommandHandlers.h"
#include "cli/FileChecks.h"
#include "cli/MachineInfoJson.h"
#include "common/TextFormat.h"
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

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

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
            {"softwareVersionText", Latin1(VersionText(image.softwareVersion))},
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
    }
    return {};
}

// check --json: the loader's verdict, and what the file holds when it passed.
QJsonObject CheckMembers(FileKind kind, const LoadResult& result, const ToolContext& context)
{
    QJsonObject members = result.loaded ? LoadedMembers(kind, context) : QJsonObject{};
    members.insert("kind", KindInfo(kind).name);
    members.insert("loaded", result.loaded);
    members.insert("statusText", Latin1(result.statusText));
    members.insert("detail", Latin1(result.detail));
    return members;
}

ExitCode Ident(CliSession& session, const Arguments&)
{
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    MachineInfo& info = session.context.machineInfo;
    ReadIdentOnly(session.context.link, info);
    if (info.answered)
        session.report.Merge(IdentityMembers(info.hardIdent, info.flashIdent));
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
    session.report.Merge(CheckMembers(*kind, result, session.context));
    session.Say(result.detail.empty() ? result.statusText : result.statusText + "\t" + result.detail);
    if (!result.loaded)
        SayWhyNotOpened(session, path);
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
    CliCommand{"read-flash", "ADDRESS LENGTH FILE", 3, 3,
               "read LENGTH bytes of flash from ADDRESS (0x.. or decimal) into FILE", ReadFlashCommand},
    CliCommand{"backup", "FILE", 1, 1, "keep the machine's user area, and what the readout found, in FILE",
               BackupCommand},
    CliCommand{"restore", "FILE", 1, 1, "put a backup's user area back into a machine of its type", RestoreCommand},
    CliCommand{"console", "LINE...", 0, std::numeric_limits<std::size_t>::max(),
               "run developer console lines (none: each line of standard input)", ConsoleCommand},
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
