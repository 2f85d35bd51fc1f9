#include "cli/CommandHandlers.h"

#include "app/panels/BootPanel.h"
#include "app/panels/FactoryPanel.h"
#include "app/panels/UserProgramPanel.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"
#include "cli/FileChecks.h"

namespace {

// A loaded file's summary on standard error; a refused file's text is the
// result, and why it could not be opened a diagnostic. False when the file
// was refused.
bool Loaded(CliSession& session, const FileLoad& load)
{
    if (!load.loaded) {
        session.Say(load.statusText);
        SayWhyNotOpened(session, load.path);
        return false;
    }
    session.Note(load.statusText);
    return true;
}


// What follows a procedure run to its end.
enum class After {
    FullReadout,  // as the window does, here silently, so that the machine's new state is read
    Nothing,      // the machine is starting the program
};

// The one flow of the three: the panel's file (of the kind it takes) loaded,
// the port opened, the panel's action started, then its refusal said, or the
// procedure run to its end, keeping `resultText` in step.
template <class Panel>
ExitCode LoadStartRun(CliSession& session, FileKind kind, const std::string& path, std::string& resultText,
                      After after)
{
    if (const auto refused = RefuseFileOfAnotherKind(session, kind, path))
        return *refused;
    Panel panel(session.context);
    if (!Loaded(session, panel.Load(path)))
        return ExitCode::FileRefused;
    if (!session.OpenLink())
        return session.LinkRefusal();
    const ActionStart start = panel.Start();
    if (!start.procedure) {
        session.Say(start.text);
        return ExitCodeOf(start.refusal);
    }
    ExitCode code = session.RunWithProgress(*start.procedure, resultText);
    if (code == ExitCode::Done && session.options.verify && after == After::FullReadout)
        code = VerifyWritten(session, *start.procedure);
    if (after == After::FullReadout)
        ReadMachineInfo(session.context.link, session.context.machineInfo);
    return code;
}

}  // namespace

ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments)
{
    return LoadStartRun<UserProgramPanel>(session, FileKind::User, arguments[0], session.context.userResultText,
                                          After::FullReadout);
}

ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments)
{
    return LoadStartRun<FactoryPanel>(session, FileKind::Factory, arguments[0], session.context.factoryResultText,
                                      After::FullReadout);
}

ExitCode BootCommand(CliSession& session, const CliArguments& arguments)
{
    std::string resultText;
    return LoadStartRun<BootPanel>(session, FileKind::Boot, arguments[0], resultText, After::Nothing);
}
