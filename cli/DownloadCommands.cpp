#include "cli/CommandHandlers.h"

#include "app/panels/BootPanel.h"
#include "app/panels/FactoryPanel.h"
#include "app/panels/UserProgramPanel.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"

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

// A refused download: its text, and the exit code of why.
ExitCode Refused(CliSession& session, const std::string& text, bool noAnswer, bool notLoaded)
{
    session.Say(text);
    if (noAnswer)
        return ExitCode::NoAnswer;
    return notLoaded ? ExitCode::FileRefused : ExitCode::MachineRefused;
}

// A started download run to its end; then, as the window does, the full
// readout (here silently), so that the machine's new state is read.
ExitCode RunDownload(CliSession& session, Procedure& download, std::string& resultText)
{
    const ExitCode code = session.RunWithProgress(download, resultText);
    ReadMachineInfo(session.context.link, session.context.machineInfo);
    return code;
}

}  // namespace

ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments)
{
    UserProgramPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();
    const UserDownloadStart start = panel.StartDownload();
    if (!start.download)
        return Refused(session, start.check.text, start.check.refusal == UserDownloadRefusal::NoAnswer,
                       start.check.refusal == UserDownloadRefusal::NotLoaded);
    return RunDownload(session, *start.download, session.context.userResultText);
}

ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments)
{
    FactoryPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();
    const FactoryDownloadStart start = panel.StartDownload();
    if (!start.download)
        return Refused(session, start.text, start.refusal == FactoryRefusal::NoAnswer,
                       start.refusal == FactoryRefusal::NotLoaded);
    return RunDownload(session, *start.download, session.context.factoryResultText);
}

ExitCode BootCommand(CliSession& session, const CliArguments& arguments)
{
    BootPanel panel(session.context);
    if (!Loaded(session, panel.Load(arguments[0])))
        return ExitCode::FileRefused;
    session.OpenLink();
    const auto stream = panel.StartBoot();
    if (!stream)
        return Refused(session, "No file loaded", false, true);
    // No readout follows: the machine is starting the program.
    std::string resultText;
    return session.RunWithProgress(*stream, resultText);
}
