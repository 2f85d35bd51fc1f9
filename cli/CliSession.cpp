#include "cli/CliSession.h"

#include "operations/readout/MachinePanel.h"
#include "cli/ErrorStream.h"
#include "cli/MachineInfoJson.h"
#include "cli/Signals.h"
#include "cli/Terminal.h"
#include "common/ControlText.h"
#include "common/Latin1.h"
#include "common/TextFormat.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"
#include "link/PortSelection.h"
#include "link/QtPortBackend.h"
#include "link/RecordingBackend.h"

#include <QString>

#include <cstdlib>
#include <optional>

namespace {

// The longest part of a line of `in` that is kept; the rest of a longer line
// is read and dropped. The console cuts a command far shorter.
constexpr std::size_t kLineLimit = 64 * 1024;

}  // namespace

CliSession::CliSession(const CliOptions& options, const ToolContext& context, std::FILE* in, std::FILE* out,
                       ErrorStream& errors, RecordingBackend* recording)
    : options(options),
      context(context),
      prompts(options.yes, in, errors, [this](const std::string& utf8Line) { SayUtf8(utf8Line); }),
      in(in),
      out(out),
      errors(errors),
      recording(recording)
{
}

void CliSession::Say(const std::string& latin1Line)
{
    SayUtf8(Utf8FromLatin1(latin1Line));
}

void CliSession::SayUtf8(const std::string& utf8Line)
{
    if (StopSignals::Requested())
        return;  // the run ends with "Aborted" alone
    if (options.json) {
        report.KeepResultLine(utf8Line);
        return;
    }
    std::fprintf(out, "%s\n", utf8Line.c_str());
    std::fflush(out);  // results keep their place among progress lines
}

void CliSession::SayReport(const std::string& utf8Line)
{
    if (StopSignals::Quiet())
        return;
    std::clearerr(out);  // a write the stop broke off
    std::fprintf(out, "%s\n", utf8Line.c_str());
    std::fflush(out);
}

void CliSession::Note(const std::string& latin1Line)
{
    if (!options.quiet)
        errors.Line(Utf8FromLatin1(latin1Line));
}

void CliSession::NoteFailure(const std::string& latin1Line)
{
    errors.Line(Utf8FromLatin1(latin1Line));
}

void CliSession::Complain(const std::string& line)
{
    if (StopSignals::Requested())
        return;  // what fails after a stop fails because of it
    if (options.json) {
        report.KeepDiagnostic(line);
        errors.Line(line, "error");
        return;
    }
    errors.Line("mirelle-cli: " + line);
}

ExitCode CliSession::UsageError(const std::string& line)
{
    if (StopSignals::Requested())
        return ExitCode::Usage;
    Complain(line);
    errors.Line("Try 'mirelle-cli --help'.", "hint");
    return ExitCode::Usage;
}

bool CliSession::ReadLine(std::string& line)
{
    line.clear();
    int c = std::fgetc(in);
    if (c == EOF)
        return false;
    // A stop ends the line too: a read of the terminal returns at once
    // (EINTR), and a line without an end (/dev/zero) is not read for ever.
    for (; c != EOF && c != '\n' && !StopSignals::Requested(); c = std::fgetc(in)) {
        if (line.size() < kLineLimit)
            line += char(c);
    }
    return !StopSignals::Requested();
}

bool CliSession::OpenLink()
{
    static constexpr const char* kHowToSelect =
        "give --port NAME, set MIRELLE_PORT, or store one with mirelle-cli set-port NAME";
    const PortChoice choice = ChoosePort(options.port, std::getenv("MIRELLE_PORT"));
    if (!choice.problem.empty()) {
        Complain(choice.problem + ": " + kHowToSelect);
        return false;
    }
    if (choice.name.empty()) {
        Complain(std::string("No port selected: ") + kHowToSelect);
        return false;
    }
    context.portName = choice.name;
    if (options.record && recording && !recording->Recording()) {
        if (const auto refused = recording->Start(*options.record)) {
            Complain(*refused);
            linkRefusal = ExitCode::FileRefused;
            return false;
        }
    }
    DeviceLink& link = context.link;
    if (link.OpenPort(ResolvePort(choice.name)))
        return true;
    Complain(PortFailureText(choice.name, link.LastAddress().device, link.OpenFailure()));
    return false;
}

void CliSession::PrintPanel(const MachineInfo& info)
{
    if (options.json) {
        report.Merge(MachineInfoMembers(info));
        report.SetResult(Utf8FromLatin1(info.statusText));
        return;
    }
    // The machine's bytes may hold control characters: shown escaped, never
    // sent to the terminal as they are.
    const MachinePanel panel = FillMachinePanel(info, context.userImage.loaded);
    Say("Status\t" + EscapedControls(panel.statusText));
    for (const PanelRow& row : panel.rows)
        Say(row.caption + "\t" + EscapedControls(row.text));
}

ExitCode CliSession::EndAfterStop()
{
    if (options.json) {
        report.SetResult("Aborted");
        return ExitCode::Aborted;
    }
    if (!StopSignals::Quiet()) {
        std::clearerr(out);  // a write the stop broke off
        std::fputs("Aborted\n", out);
        std::fflush(out);
    }
    return ExitCode::Aborted;
}

bool CliSession::OutputOnTerminal() const
{
    return IsTerminal(out);
}

void CliSession::StreamJson(const std::string& text)
{
    if (StopSignals::Quiet())
        return;
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

void CliSession::EndReport(ExitCode code)
{
    if (!options.json || StopSignals::Quiet())
        return;
    std::clearerr(out);  // a write the stop broke off
    std::fputs(report.Text(code).c_str(), out);
    std::fflush(out);
}

ExitCode CliSession::EndRecording(ExitCode code)
{
    if (!recording || !recording->Recording())
        return code;
    context.link.ClosePort();
    recording->Stop();
    if (recording->Cut().empty())
        return code;
    Complain("cannot write the recording " + recording->Path() + " any more: " + recording->Cut()
             + "; it is cut after event " + std::to_string(recording->Events()));
    return code == ExitCode::Done ? ExitCode::FileRefused : code;
}

PortStack CliPortStack(const CliOptions& options, ErrorStream& errors)
{
    PortStackOptions stack;
    stack.stopNow = [] { return StopSignals::Urgent(); };
    stack.recordable = options.record.has_value();
    if (options.trace)
        stack.trace = [&errors](const std::string& line) { errors.Line(line, "trace"); };
    return BuildPortStack(std::make_unique<QtPortBackend>(), std::move(stack));
}
