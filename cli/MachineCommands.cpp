#include "cli/MachineCommands.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "common/QtText.h"
#include "operations/machine/MachineJobs.h"
#include "operations/readout/MachinePanel.h"

#include <QString>

namespace {

// write-serial and write-name --json: the field, the text as sent, and the
// field as the readout after the write found it.
void ReportWrite(CliSession& session, OnceOnlyField field, const WriteOutcome& outcome)
{
    JsonReport& report = session.report;
    report.Set("field", field == OnceOnlyField::SerialNumber ? "serialNumber" : "machineName");
    if (outcome.write.refusal.empty())
        report.Set("text", QStringFromLatin1(FieldText(outcome.write.bytes.data(), outcome.write.bytes.size())));
    report.Set("sent", outcome.stop.Sent());
    if (outcome.readBack)
        report.Set("readBack", QStringFromLatin1(*outcome.readBack));
    if (outcome.lostReply)
        report.Set("lostReply", QStringFromLatin1(*outcome.lostReply));
}

// The window's "Write it !" from the command line, with the readout the
// window has had before, and the readout after deciding a lost reply.
ExitCode WriteOnce(CliSession& session, OnceOnlyField field, const std::string& argument)
{
    CliJob job(session);
    // Characters, not bytes: the argument in the terminal's encoding.
    const WriteOutcome outcome = WriteOnceOnlyField(job.Context(), field, QString::fromLocal8Bit(argument));
    ReportWrite(session, field, outcome);
    return ExitCodeOf(session, outcome);
}

ExitCode Power(CliSession& session, PowerMode mode)
{
    CliJob job(session);
    const PowerOutcome outcome = SetPower(job.Context(), mode);
    if (outcome.end != JobEnd::PortUnavailable) {
        session.report.Set("mode", int(mode));
        session.report.Set("acknowledged", outcome.acknowledged);
    }
    return ExitCodeOf(session, outcome);
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
    return Power(session, PowerMode::Off);
}

ExitCode ProgramLoaderCommand(CliSession& session, const CliArguments&)
{
    return Power(session, PowerMode::ResidentLoader);
}
