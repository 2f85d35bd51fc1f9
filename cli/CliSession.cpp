#include "cli/CliSession.h"

#include "app/readout/MachinePanel.h"
#include "cli/Interrupt.h"
#include "cli/MachineInfoJson.h"
#include "cli/Progress.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"
#include "link/PortSelection.h"
#include "link/QtPortBackend.h"
#include "link/Settings.h"
#include "link/TracingBackend.h"
#include "procedures/RunProcedure.h"

#include <QString>

#include <cstdlib>

namespace {

std::string Printable(const std::string& latin1)
{
    return QString::fromLatin1(latin1.data(), qsizetype(latin1.size())).toStdString();
}

}  // namespace

CliSession::CliSession(const CliOptions& options, const ToolContext& context, std::FILE* in, std::FILE* out,
                       std::FILE* err)
    : options(options), context(context), prompts(options.yes, in, out, err), in(in), out(out), err(err)
{
}

void CliSession::Say(const std::string& latin1Line)
{
    std::fprintf(out, "%s\n", Printable(latin1Line).c_str());
    std::fflush(out);  // results keep their place among progress lines
}

void CliSession::SayUtf8(const std::string& utf8Line)
{
    std::fprintf(out, "%s\n", utf8Line.c_str());
    std::fflush(out);
}

void CliSession::Note(const std::string& latin1Line)
{
    std::fprintf(err, "%s\n", Printable(latin1Line).c_str());
    std::fflush(err);
}

void CliSession::Complain(const std::string& line)
{
    std::fprintf(err, "mirelle-cli: %s\n", line.c_str());
}

bool CliSession::ReadLine(std::string& line)
{
    line.clear();
    int c = std::fgetc(in);
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(in))
        line += char(c);
    return true;
}

bool CliSession::OpenLink()
{
    static constexpr const char* kHowToSelect =
        "give --port NAME, set MIRELLE_PORT, or store one with mirelle-cli set-port NAME";
    std::string portName;
    const char* fromEnvironment = std::getenv("MIRELLE_PORT");
    if (options.port) {
        portName = *options.port;
    } else if (fromEnvironment && *fromEnvironment) {
        portName = fromEnvironment;
    } else {
        try {
            ReadSetting(SettingName::kComPort, portName);
        } catch (const SettingsError& error) {
            Complain(std::string(error.what()) + ": " + kHowToSelect);
            return false;
        }
    }
    if (portName.empty()) {
        Complain(std::string("No port selected: ") + kHowToSelect);
        return false;
    }
    context.portName = portName;
    DeviceLink& link = context.link;
    if (link.OpenPort(ResolvePort(portName)))
        return true;
    Complain(PortFailureText(portName, link.LastAddress().device, link.OpenFailure()));
    return false;
}

void CliSession::PrintPanel(const MachineInfo& info)
{
    if (options.json) {
        std::fputs(MachineInfoJson(info).c_str(), out);
        return;
    }
    const MachinePanel panel = FillMachinePanel(info, context.userImage.loaded);
    Say("Status\t" + panel.statusText);
    for (const PanelRow& row : panel.rows)
        Say(row.caption + "\t" + row.text);
}

ExitCode CliSession::RunWithProgress(Procedure& procedure, std::string& resultText)
{
    {
        InterruptGuard interrupt;
        ProgressDisplay progress(err);
        ProcedureRun run;
        run.beforeTick = [](Procedure& running) {
            if (InterruptGuard::Requested())
                running.Abort();
        };
        run.afterTick = [&](const Procedure& running) {
            if (running.IsFinished())
                return;
            const ProcedureProgress work = running.Work();
            progress.Show(running.StatusText(), work.position - work.minimum, work.maximum - work.minimum);
        };
        RunProcedure(procedure, resultText, run);
    }
    Say(procedure.ResultText());
    return ExitCodeOf(procedure.Outcome());
}

std::unique_ptr<PortBackend> CliPortBackend(const CliOptions& options, std::FILE* err)
{
    std::unique_ptr<PortBackend> backend = std::make_unique<QtPortBackend>();
    if (options.trace)
        backend = std::make_unique<TracingBackend>(std::move(backend), err);
    return backend;
}
