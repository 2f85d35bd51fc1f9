#include "cli/CommandHandlers.h"

#include "app/panels/MachineWrites.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"

#include <QString>

namespace {

// The command line's exit code for where a "Write it !" stopped.
ExitCode ExitCodeOf(const FieldWriteOutcome& outcome)
{
    switch (outcome.stop) {
    case FieldWriteStop::TextRefused:
    case FieldWriteStop::NotRead: return ExitCode::Usage;
    case FieldWriteStop::Refused:
        return outcome.refusal == FieldRefusal::NoAnswer ? ExitCode::NoAnswer : ExitCode::MachineRefused;
    case FieldWriteStop::NotConfirmed: return ExitCode::Aborted;
    case FieldWriteStop::Sent: break;
    }
    switch (outcome.result) {
    case WriteResult::Done: return ExitCode::Done;
    case WriteResult::NoAnswer: return ExitCode::NoAnswer;
    case WriteResult::BadStatus: break;
    }
    return ExitCode::MachineRefused;
}

// The window's "Write it !" from the command line. Its own part: the readout
// the window has had before (here only once the text is accepted and a
// confirmation can be had), the lines the window shows no box for, and the
// readout after, as the window's, here silent.
ExitCode WriteOnce(CliSession& session, OnceOnlyField field, const std::string& argument)
{
    const ToolContext& context = session.context;
    bool portUnavailable = false;
    const auto readoutFirst = [&] {
        if (!session.prompts.CanConfirm()) {
            session.Say("Not written : standard input is no terminal to confirm on; add --yes to confirm");
            return false;
        }
        if (!session.OpenLink()) {
            portUnavailable = true;
            return false;
        }
        ReadMachineInfo(context.link, context.machineInfo);
        return true;
    };
    // Characters, not bytes: the argument in the terminal's encoding.
    const FieldWriteOutcome outcome = MachineControls(context).Write(
        OnceOnlyWrite(field, QString::fromLocal8Bit(argument)), session.prompts, readoutFirst);
    if (portUnavailable)
        return ExitCode::PortUnavailable;
    if (outcome.stop == FieldWriteStop::NotConfirmed)
        session.Say("Not written");
    if (outcome.Sent()) {
        if (outcome.result == WriteResult::Done)
            session.Say(WriteResultText(outcome.result));
        ReadMachineInfo(context.link, context.machineInfo);
    }
    return ExitCodeOf(outcome);
}

ExitCode Power(CliSession& session, std::uint8_t mode)
{
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    const bool acknowledged = MachineControls(session.context).PowerControl(mode);
    session.Say(acknowledged ? "Done" : "No answer");
    return acknowledged ? ExitCode::Done : ExitCode::NoAnswer;
}

}  // namespace

ExitCode WriteSerialCommand(CliSession& session, const CliArguments& arguments)
{
    return WriteOnce(session, OnceOnlyField::SerialNumber, arguments[0]);
}

ExitCode WriteNameCommand(CliSession& session, const CliArguments& arguments)
{
    return WriteOnce(session, OnceOnlyField::MachineName, arguments[0]);
}

ExitCode PowerOffCommand(CliSession& session, const CliArguments&)
{
    return Power(session, 0);
}

ExitCode ProgramLoaderCommand(CliSession& session, const CliArguments&)
{
    return Power(session, 1);
}
