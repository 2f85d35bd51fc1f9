#include "cli/CommandHandlers.h"

#include "app/panels/MachineWrites.h"
#include "app/readout/MachineInfo.h"
#include "app/readout/MachinePanel.h"
#include "cli/CliSession.h"
#include "cli/Signals.h"
#include "common/ControlText.h"
#include "common/Prompts.h"

#include <QString>

#include <utility>
#include <vector>

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

// The terminal's prompts with their error texts held back, so that the
// readout after a write can say what became of a write whose reply was lost.
class HeldErrors final : public Prompts {
public:
    explicit HeldErrors(Prompts& prompts) : prompts(prompts) {}

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override
    {
        return prompts.OpenFile(question);
    }
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override
    {
        return prompts.SaveFile(question);
    }
    bool Confirm(const std::string& caption, const std::string& text) override
    {
        return prompts.Confirm(caption, text);
    }
    void Error(const std::string& caption, const std::string& text) override { held.push_back({caption, text}); }

    // Shows the texts held so far.
    void Release()
    {
        for (const auto& [caption, text] : held)
            prompts.Error(caption, text);
        held.clear();
    }

private:
    Prompts& prompts;
    std::vector<std::pair<std::string, std::string>> held;
};

// A write sent whose reply was lost: the readout after it tells. The field
// reads back as sent: done. Something else: the machine holds that. Still
// blank, or no readout: "No answer".
ExitCode LostReply(CliSession& session, const FieldWrite& write, HeldErrors& errors)
{
    const LostReplyOutcome outcome = MachineControls(session.context)
                                         .ReadBackLostReply(write, ProcedureClock::Steady(),
                                                            [] { return StopSignals::Requested(); });
    switch (outcome.verdict) {
    case LostReplyVerdict::NoAnswer:
        errors.Release();
        return ExitCode::NoAnswer;
    case LostReplyVerdict::AsWritten:
        session.Say("Done");
        session.Say(outcome.text);
        return ExitCode::Done;
    case LostReplyVerdict::NotAsWritten:
        break;
    }
    // The machine's bytes may hold control characters: shown escaped.
    session.Say(EscapedControls(outcome.text));
    return ExitCode::MachineRefused;
}

// What became of a write once it was sent or refused: the lines to say, the
// readout after it, the exit code.
ExitCode AfterWrite(CliSession& session, const FieldWrite& write, const FieldWriteOutcome& outcome,
                    HeldErrors& errors, bool portUnavailable)
{
    const ToolContext& context = session.context;
    if (outcome.Sent() && outcome.result == WriteResult::NoAnswer)
        return LostReply(session, write, errors);
    if (portUnavailable)
        return session.LinkRefusal();
    errors.Release();
    if (outcome.stop == FieldWriteStop::NotConfirmed)
        session.Say("Not written");
    if (outcome.Sent()) {
        if (outcome.result == WriteResult::Done)
            session.Say(WriteResultText(outcome.result));
        ReadMachineInfo(context.link, context.machineInfo);
    }
    return ExitCodeOf(outcome);
}

QString Latin1(const std::uint8_t* bytes, std::size_t size)
{
    const std::string text = FieldText(bytes, size);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// write-serial and write-name --json: the field, the text as sent, and the
// field as the readout after the write found it.
void ReportWrite(CliSession& session, OnceOnlyField field, const FieldWrite& write, const FieldWriteOutcome& outcome)
{
    const bool serial = field == OnceOnlyField::SerialNumber;
    JsonReport& report = session.report;
    report.Set("field", serial ? "serialNumber" : "machineName");
    if (write.refusal.empty())
        report.Set("text", Latin1(write.bytes.data(), write.bytes.size()));
    report.Set("sent", outcome.Sent());
    const MachineInfo& info = session.context.machineInfo;
    if (outcome.Sent() && info.answered && info.factoryInfoRead) {
        report.Set("readBack", serial ? Latin1(info.serialNumber.data(), info.serialNumber.size())
                                      : Latin1(info.machineName.data(), info.machineName.size()));
    }
}

// The window's "Write it !" from the command line. Its own part: the readout
// the window has had before (here only once the text is accepted and a
// confirmation can be had), the lines the window shows no box for, and the
// readout after, as the window's, here silent unless the write's reply was
// lost.
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
    const FieldWrite write = OnceOnlyWrite(field, QString::fromLocal8Bit(argument));
    HeldErrors errors(session.prompts);
    const FieldWriteOutcome outcome = MachineControls(context).Write(write, errors, readoutFirst);
    const ExitCode code = AfterWrite(session, write, outcome, errors, portUnavailable);
    ReportWrite(session, field, write, outcome);
    return code;
}

ExitCode Power(CliSession& session, std::uint8_t mode)
{
    if (!session.OpenLink())
        return session.LinkRefusal();
    const bool acknowledged = MachineControls(session.context).PowerControl(mode);
    session.report.Set("mode", int(mode));
    session.report.Set("acknowledged", acknowledged);
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
