#include "cli/CommandHandlers.h"

#include "app/panels/MachineWrites.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"

#include <QString>

namespace {

// A "Write it !" from the command line. Every step that fails ends the
// command with nothing written; the text is checked before anything is sent.
ExitCode WriteOnce(CliSession& session, OnceOnlyField field, const std::string& argument)
{
    // Characters, not bytes: the argument in the terminal's encoding.
    const FieldBytes prepared = PrepareField(field, QString::fromLocal8Bit(argument));
    if (!prepared.refusal.empty()) {
        session.SayUtf8(prepared.refusal);
        return ExitCode::Usage;
    }
    if (!session.prompts.CanConfirm()) {
        session.Say("Not written : standard input is no terminal to confirm on; add --yes to confirm");
        return ExitCode::Usage;
    }

    session.OpenLink();
    const ToolContext& context = session.context;
    ReadMachineInfo(context.link, context.machineInfo);
    if (!context.machineInfo.answered) {
        session.Say("No answer");
        return ExitCode::NoAnswer;
    }
    if (!context.machineInfo.factoryInfoRead) {
        session.Say("Factory data must be downloaded first");
        return ExitCode::MachineRefused;
    }
    if (FieldWritten(field, context.machineInfo)) {
        session.Say(AlreadyWrittenText(field));
        return ExitCode::MachineRefused;
    }
    if (!session.prompts.Confirm("Warning", ConfirmationText(field))) {
        session.Say("Not written");
        return ExitCode::Aborted;
    }

    const WriteResult result =
        WriteFlashField(context.link, FieldAddress(field, context.machineInfo), prepared.bytes);
    session.Say(WriteResultText(result));
    // As the window does: read the machine again, here silently.
    ReadMachineInfo(context.link, context.machineInfo);
    switch (result) {
    case WriteResult::Done: return ExitCode::Done;
    case WriteResult::NoAnswer: return ExitCode::NoAnswer;
    case WriteResult::BadStatus: return ExitCode::MachineRefused;
    }
    return ExitCode::MachineRefused;
}

ExitCode Power(CliSession& session, std::uint8_t mode)
{
    session.OpenLink();
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
