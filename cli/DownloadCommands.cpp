#include "CommandHandlers.h"

#include "BootPanel.h"
#include "CliSession.h"
#include "FactoryPanel.h"
#include "MachineInfo.h"
#include "UserProgramPanel.h"

namespace {

// A loaded file's summary on standard error; a refused file's text is the
// result. False when the file was refused.
bool Loaded(CliSession& session, const FileLoad& load)
{
    if (!load.loaded) {
        session.Say(load.statusText);
        return false;
    }
    session.Note(load.statusText);
    return true;
}

}  // namespace

ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments)
{
    UserProgramPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();

    const UserDownloadStart start = panel.StartDownload();
    if (!start.check.Accepted()) {
        session.Say(start.check.text);
        switch (start.check.refusal) {
        case UserDownloadRefusal::NoAnswer: return ExitCode::NoAnswer;
        case UserDownloadRefusal::NotLoaded: return ExitCode::FileRefused;
        default: return ExitCode::MachineRefused;
        }
    }
    const ExitCode code = session.RunWithProgress(*start.download, session.context.userResultText);
    // As the window does: read the machine again so the new versions show.
    ReadMachineInfo(session.context.link, session.context.machineInfo);
    return code;
}

ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments)
{
    FactoryPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();

    const FactoryDownloadStart start = panel.StartDownload();
    if (!start.download) {
        session.Say(start.text);
        switch (start.refusal) {
        case FactoryRefusal::NoAnswer: return ExitCode::NoAnswer;
        case FactoryRefusal::NotLoaded: return ExitCode::FileRefused;
        default: return ExitCode::MachineRefused;
        }
    }
    const ExitCode code = session.RunWithProgress(*start.download, session.context.factoryResultText);
    ReadMachineInfo(session.context.link, session.context.machineInfo);
    return code;
}

ExitCode BootCommand(CliSession& session, const CliArguments& arguments)
{
    BootPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();
    const auto stream = panel.StartBoot();
    std::string resultText;
    return session.RunWithProgress(*stream, resultText);
}
