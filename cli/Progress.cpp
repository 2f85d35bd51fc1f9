#include "cli/Progress.h"

#include "cli/ErrorStream.h"
#include "common/TextFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A bar narrower than this says nothing: it is left out; one wider than this
// says no more.
constexpr std::size_t kNarrowestBar = 10;
constexpr std::size_t kWidestBar = 30;
// The rate is shown once a phase has run this long; the bar is redrawn at
// each new percent, and otherwise at most this often.
constexpr auto kFirstRate = std::chrono::seconds(1);
constexpr auto kRedrawPause = std::chrono::milliseconds(100);

int Percent(const ProgressFigures& figures)
{
    if (figures.total == 0)
        return 100;
    return int(std::min(figures.done, figures.total) * 100 / figures.total);
}

std::optional<double> SecondsLeft(const ProgressFigures& figures)
{
    if (!figures.rate || *figures.rate <= 0)
        return std::nullopt;
    return double(figures.total - std::min(figures.done, figures.total)) / *figures.rate;
}

std::string RateText(const std::string& unit, double rate)
{
    if (unit != "bytes")
        return FormatText("%.1f %s/s", rate, unit.c_str());
    if (rate < 1000)
        return FormatText("%.0f B/s", rate);
    if (rate < 1000 * 1000)
        return FormatText("%.1f kB/s", rate / 1000);
    return FormatText("%.1f MB/s", rate / (1000 * 1000));
}

std::string DurationText(double seconds)
{
    const auto whole = static_cast<unsigned long long>(std::ceil(seconds));
    if (whole >= 3600)
        return FormatText("%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60, whole % 60);
    return FormatText("%llu:%02llu", whole / 60, whole % 60);
}

}  // namespace

std::string ProgressBarLine(const ProgressFigures& figures, std::size_t width)
{
    const std::string percent = FormatText("%3d%%", Percent(figures));
    const std::string count = FormatText("%llu/%llu", static_cast<unsigned long long>(figures.done),
                                         static_cast<unsigned long long>(figures.total));
    std::string rate, left;
    if (figures.rate) {
        rate = RateText(figures.unit, *figures.rate);
        if (const auto seconds = SecondsLeft(figures))
            left = DurationText(*seconds) + " left";
    }
    // The parts after the percentage; an empty one is left out.
    const auto tail = [&](bool withRate, bool withUnit, bool withLeft) {
        std::string text = " " + percent + "  " + count + (withUnit ? " " + figures.unit : std::string());
        if (withRate && !rate.empty())
            text += "  " + rate;
        if (withLeft && !left.empty())
            text += "  " + left;
        return text;
    };
    // With the bar: the phase in a column of its own, the bar filling the
    // room that is left, up to kWidestBar cells.
    const std::string phase = FormatText("%-16s", figures.phase.c_str());
    const std::string full = tail(true, true, true);
    const std::size_t used = phase.size() + 3 + full.size();  // with " [" and "]"
    if (used + kNarrowestBar <= width) {
        const std::size_t room = std::min(width - used, kWidestBar);
        const auto filled = std::size_t(Percent(figures)) * room / 100;
        return phase + " [" + std::string(filled, '#') + std::string(room - filled, ' ') + "]" + full;
    }
    // Narrower: the rate goes, then the unit word, then the time left.
    for (const std::string& text : {tail(true, true, true), tail(false, true, true), tail(false, false, true),
                                    tail(false, false, false), " " + percent}) {
        if (figures.phase.size() + text.size() <= width)
            return figures.phase + text;
    }
    return (figures.phase + " " + percent).substr(0, width);
}

std::string ProgressPlainLine(const ProgressFigures& figures)
{
    return FormatText("%s %llu/%llu (%d%%)", figures.phase.c_str(), static_cast<unsigned long long>(figures.done),
                      static_cast<unsigned long long>(figures.total), Percent(figures));
}

std::string ProgressJsonLine(const ProgressFigures& figures)
{
    QJsonObject object{
        {"phase", QString::fromStdString(figures.phase)},
        {"unit", QString::fromStdString(figures.unit)},
        {"done", qint64(figures.done)},
        {"total", qint64(figures.total)},
        {"percent", Percent(figures)},
        {"rate", figures.rate ? QJsonValue(std::round(*figures.rate * 10) / 10) : QJsonValue()},
        {"secondsLeft", SecondsLeft(figures) ? QJsonValue(std::ceil(*SecondsLeft(figures))) : QJsonValue()},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

ProgressDisplay::ProgressDisplay(ErrorStream& errors, Form form) : errors(errors), form(form) {}

ProgressDisplay::ProgressDisplay(ErrorStream& errors, bool json)
    : ProgressDisplay(errors, json ? Form::Json : errors.OnTerminal() ? Form::Bar : Form::Plain)
{
}

ProgressDisplay::~ProgressDisplay()
{
    Finish(false);
}

void ProgressDisplay::Show(const std::string& phase, const std::string& unit, std::uint64_t done,
                           std::uint64_t total)
{
    const Clock::time_point now = Clock::now();
    const bool newPhase = phase != lastPhase;
    if (newPhase && form == Form::Plain)
        EndPlainPhase(true);
    if (newPhase) {
        lastPhase = phase;
        phaseStart = now;
        phaseStartDone = done;
        lastStep = -1;
    }
    ProgressFigures figures{phase, unit, done, total};
    last = figures;
    const double seconds = std::chrono::duration<double>(now - phaseStart).count();
    if (now - phaseStart >= kFirstRate && done > phaseStartDone)
        figures.rate = double(done - phaseStartDone) / seconds;

    const int percent = Percent(figures);
    switch (form) {
    case Form::Bar:
        // Each new percent, and the rate, the time left and the width afresh now and then.
        if (percent == lastStep && now - lastDrawn < kRedrawPause)
            return;
        lastStep = percent;
        lastDrawn = now;
        errors.Status(ProgressBarLine(figures, errors.StatusWidth()));
        return;
    case Form::Plain:
        if (percent / 10 == lastStep)
            return;
        lastStep = percent / 10;
        errors.Line(ProgressPlainLine(figures));
        lastShown = figures;
        return;
    case Form::Json:
        if (percent == lastStep)
            return;
        lastStep = percent;
        errors.JsonLine(ProgressJsonLine(figures));
        return;
    }
}

void ProgressDisplay::EndPlainPhase(bool completed)
{
    if (lastPhase.empty())
        return;
    ProgressFigures end = last;
    if (completed)
        end.done = end.total;
    if (end.done != lastShown.done || end.phase != lastShown.phase)
        errors.Line(ProgressPlainLine(end));
    lastShown = end;
}

void ProgressDisplay::Finish(bool completed)
{
    if (form == Form::Bar)
        errors.EndStatus();
    if (form == Form::Plain)
        EndPlainPhase(completed);
    lastPhase.clear();
    lastStep = -1;
}
