#include "operations/console/ConsoleLines.h"

#include "console/Console.h"
#include "console/Watch.h"

#include <algorithm>
#include <span>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks for a stop.
constexpr auto kStopPoll = std::chrono::milliseconds(50);

// An output as the console appends it: CR LF as line breaks.
std::string Lines(std::string output)
{
    for (auto at = output.find("\r\n"); at != std::string::npos; at = output.find("\r\n", at + 1))
        output.erase(at, 1);
    return output;
}

std::string LastLine(const std::string& text)
{
    const auto end = text.rfind('\n');
    return end == std::string::npos ? text : text.substr(end + 1);
}

std::string WordsLine(std::span<const std::uint32_t> values)
{
    std::string line;
    for (const std::uint32_t value : values)
        line += (line.empty() ? "" : "  ") + WatchValueText(value);
    return line;
}

}  // namespace

ConsoleLines::ConsoleLines(DeviceLink& link, SymbolTable& symbols, ConsoleHost& windowCommands, Options options)
    : link(link), windowCommands(windowCommands), options(std::move(options)),
      console(std::make_unique<Console>(link, symbols, static_cast<ConsoleHost&>(*this)))
{
}

ConsoleLines::~ConsoleLines() = default;

std::optional<std::string> ConsoleLines::Clear()
{
    return windowCommands.Clear();
}

std::optional<std::string> ConsoleLines::Load()
{
    return windowCommands.Load();
}

std::optional<std::string> ConsoleLines::Save()
{
    return windowCommands.Save();
}

void ConsoleLines::OpenWatch(const WatchOrder& order)
{
    watch = order;
}

void ConsoleLines::Run(const std::string& latin1Line, const std::function<void(const std::string&)>& show)
{
    watch.reset();
    const std::optional<CommandResult> result = console->Enter(latin1Line);
    if (!result)
        return;
    if (!result->output.empty())
        show(Lines(result->output));
    noAnswer |= result->error == ConsoleError::NoAnswer;
    const bool lineError = result->error != ConsoleError::None && result->error != ConsoleError::NoAnswer;
    if (lineError && !error)
        firstError = LastLine(Lines(result->output));
    error |= lineError;
    if (watch)
        PollWatch(*watch, show);
}

JobEnd ConsoleLines::End() const
{
    if (aborted)
        return JobEnd::Aborted;
    if (noAnswer)
        return JobEnd::NoAnswer;
    return error ? JobEnd::InputRefused : JobEnd::Done;
}

bool ConsoleLines::WaitUntil(Clock::time_point until) const
{
    while (!(options.stopRequested && options.stopRequested())) {
        const auto now = Clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kStopPoll));
    }
    return false;
}

// An interval of 0 reads nothing, as the window's never ticks.
void ConsoleLines::PollWatch(const WatchOrder& order, const std::function<void(const std::string&)>& show)
{
    Watch reader(order);
    if (!reader.Polls())
        return;
    auto next = Clock::now();
    for (unsigned done = 0; !options.reads || done < *options.reads; ++done) {
        next += std::chrono::milliseconds(order.interval);
        if (!WaitUntil(next)) {
            aborted = true;
            return;
        }
        reader.Read(link);
        const bool answered = reader.Light() != WatchLight::Red;
        noAnswer |= !answered;
        show(answered ? WordsLine(reader.Values()) : "No answer");
    }
}
