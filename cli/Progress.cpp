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

// A bar narrower than this says nothing: it is left out.
constexpr std::size_t kNarrowestBar = 10;
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
    const std::string phase = FormatText("%-16s", figures.phase.c_str());
    const std::string percent = FormatText("%3d%%", Percent(figures));
    const std::string count = FormatText("%llu/%llu %s", static_cast<unsigned long long>(figures.done),
                                         static_cast<unsigned long long>(figures.total), figures.unit.c_str());
    std::string timing;
    if (figures.rate) {
        timing = RateText(figures.unit, *figures.rate);
        if (const auto left = SecondsLeft(figures))
            timing += "  " + DurationText(*left) + " left";
    }
    // From the most said to the least: the bar with everything, where it has
    // room; then without the bar, the first of the rest that fits.
    std::vector<std::string> tails{" " + percent + "  " + count};
    if (!timing.empty())
        tails.insert(tails.begin(), tails.front() + "  " + timing);
    tails.push_back(" " + percent);
    const std::size_t used = phase.size() + 3 + tails.front().size();  // with " [" and "]"
    if (used + kNarrowestBar <= width) {
        const std::size_t room = width - used;
        const auto filled = std::size_t(Percent(figures)) * room / 100;
        return phase + " [" + std::string(filled, '#') + std::string(room - filled, ' ') + "]" + tails.front();
    }
    for (const std::string& tail : tails)
        if (phase.size() + tail.size() <= width)
            return phase + tail;
    return (figures.phase + tails.back()).substr(0, width);
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
    Finish();
}

void ProgressDisplay::Show(const std::string& phase, const std::string& unit, std::uint64_t done,
                           std::uint64_t total)
{
    const Clock::time_point now = Clock::now();
    const bool newPhase = phase != lastPhase;
    if (newPhase) {
        lastPhase = phase;
        phaseStart = now;
        phaseStartDone = done;
        lastStep = -1;
    }
    ProgressFigures figures{phase, unit, done, total};
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
        return;
    case Form::Json:
        if (percent == lastStep)
            return;
        lastStep = percent;
        errors.JsonLine(ProgressJsonLine(figures));
        return;
    }
}

void ProgressDisplay::Finish()
{
    if (form == Form::Bar)
        errors.EndStatus();
    lastPhase.clear();
    lastStep = -1;
}
