#include "cli/LineView.h"

#include "cli/ErrorStream.h"
#include "cli/Progress.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

// Up this many lines, to the start of the line, and everything below erased.
std::string UpAndErase(std::size_t lines)
{
    return "\x1B[" + std::to_string(lines) + "A\r\x1B[J";
}

constexpr std::size_t kStepWidth = 16;  // "download verify" and a blank
constexpr auto kRedrawEvery = 100ms;

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

LineView::LineView(ErrorStream& errors, Form form, std::vector<std::string> ports, bool quiet)
    : errors(errors), form(form), quiet(quiet), ports(std::move(ports)), lines(this->ports.size())
{
    for (const std::string& port : this->ports)
        portWidth = std::max(portWidth, port.size() + 2);
}

LineView::Form LineView::FormFor(const ErrorStream& errors, bool json)
{
    return json ? Form::Json : errors.OnTerminal() ? Form::Live : Form::Events;
}

void LineView::StepBegun(std::size_t port, const std::string& step)
{
    const std::lock_guard lock(mutex);
    PortLine& line = lines[port];
    line.step = step;
    line.progress.clear();
    line.last.clear();
    line.phase.clear();
    line.hundredth = -1;
    if (form == Form::Json)
        JsonEvent(port, "step", step);
    else if (form == Form::Live)
        Draw(true);
}

void LineView::Progress(std::size_t port, const std::string& phase, const std::string& unit, std::uint64_t done,
                        std::uint64_t total)
{
    if (quiet)
        return;
    const std::lock_guard lock(mutex);
    PortLine& line = lines[port];
    const ProgressFigures figures{.phase = phase, .unit = unit, .done = done, .total = total};
    const bool newPhase = phase != line.phase;
    line.phase = phase;
    switch (form) {
    case Form::Live:
        line.progress = ProgressPlainLine(figures);
        Draw(newPhase);
        break;
    case Form::Events:
        if (newPhase)
            WriteLine(ports[port] + ": " + (line.step.empty() ? "" : line.step + ": ") + phase, "note");
        break;
    case Form::Json: {
        const int hundredth = total ? int(done * 100 / total) : 0;
        if (!newPhase && hundredth == line.hundredth)
            break;
        line.hundredth = hundredth;
        QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(ProgressJsonLine(figures))).object();
        object.insert("port", QString::fromStdString(ports[port]));
        object.insert("step", QString::fromStdString(line.step));
        WriteLine(Compact(object), nullptr);
        break;
    }
    }
}

void LineView::Result(std::size_t port, const std::string& text)
{
    const std::lock_guard lock(mutex);
    PortLine& line = lines[port];
    switch (form) {
    case Form::Live: {
        // "factory verify: Verified" under its own step's name.
        const std::size_t colon = text.find(": ");
        if (!line.step.empty() && text.starts_with(line.step) && colon != std::string::npos) {
            line.step = text.substr(0, colon);
            line.last = text.substr(colon + 2);
        } else {
            line.last = text;
        }
        line.progress.clear();
        Draw(true);
        break;
    }
    case Form::Events: WriteLine(ports[port] + ": " + text, "note"); break;
    case Form::Json: JsonEvent(port, "result", text); break;
    }
}

void LineView::Problem(std::size_t port, const std::string& text)
{
    const std::lock_guard lock(mutex);
    if (form == Form::Json)
        JsonEvent(port, "error", text);
    else
        WriteLine("mirelle-cli: " + ports[port] + ": " + text, "error");
}

void LineView::Trace(std::size_t port, const std::string& text)
{
    const std::lock_guard lock(mutex);
    if (form == Form::Json)
        JsonEvent(port, "trace", text);
    else
        WriteLine(ports[port] + ": " + text, "trace");
}

void LineView::Ended(std::size_t port, const std::string& result, int exitCode)
{
    const std::lock_guard lock(mutex);
    PortLine& line = lines[port];
    switch (form) {
    case Form::Live:
        line.step = "ended";
        line.progress.clear();
        line.last = result;
        Draw(true);
        break;
    case Form::Events: break;  // its result was its last line
    case Form::Json:
        WriteLine(Compact(QJsonObject{{"port", QString::fromStdString(ports[port])},
                                      {"ended", QString::fromStdString(result)},
                                      {"exitCode", exitCode}}),
                  nullptr);
        break;
    }
}

void LineView::Close()
{
    const std::lock_guard lock(mutex);
    if (form == Form::Live && !closed)
        Draw(true);
    closed = true;
}

void LineView::WriteLine(const std::string& line, const char* kind)
{
    if (form != Form::Live) {
        if (kind)
            errors.Line(line, kind);
        else
            errors.JsonLine(line);
        return;
    }
    Erase();
    std::fprintf(errors.File(), "%s\n", line.c_str());
    Draw(true);
}

void LineView::JsonEvent(std::size_t port, const char* member, const std::string& text)
{
    WriteLine(Compact(QJsonObject{{"port", QString::fromStdString(ports[port])},
                                  {QLatin1String(member), QString::fromStdString(text)}}),
              nullptr);
}

void LineView::Erase()
{
    if (drawnLines > 0)
        std::fputs(UpAndErase(drawnLines).c_str(), errors.File());
    drawnLines = 0;
}

void LineView::Draw(bool now)
{
    if (closed)
        return;
    const Clock::time_point time = Clock::now();
    if (!now && time - lastDrawn < kRedrawEvery)
        return;
    lastDrawn = time;
    // Cut afresh at each drawing: the terminal may have become narrower.
    const std::size_t width = errors.StatusWidth();
    std::string block = drawnLines > 0 ? UpAndErase(drawnLines) : std::string();
    for (std::size_t port = 0; port < ports.size(); ++port)
        block += LiveLine(port).substr(0, width) + "\n";
    std::fputs(block.c_str(), errors.File());
    std::fflush(errors.File());
    drawnLines = ports.size();
}

std::string LineView::LiveLine(std::size_t port) const
{
    const PortLine& line = lines[port];
    const std::string step = line.step.empty() ? "readout" : line.step;
    return Padded(ports[port], portWidth) + Padded(step, kStepWidth) + (line.progress.empty() ? line.last : line.progress);
}
