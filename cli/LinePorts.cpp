#include "cli/LinePorts.h"

#include "cli/LineView.h"
#include "cli/Signals.h"
#include "common/Prompts.h"
#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"
#include "link/PortSelection.h"
#include "link/PortStack.h"
#include "link/QtPortBackend.h"
#include "operations/BlockingRunner.h"
#include "operations/readout/MachineInfo.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"

#include <QThread>

#include <algorithm>
#include <array>
#include <exception>
#include <future>
#include <memory>

namespace {

// A port's run tells the view, under its port.
class PortObserver final : public JobObserver {
public:
    PortObserver(LineView& view, std::size_t port) : view(view), port(port) {}

    void StepBegun(const std::string& name) override { view.StepBegun(port, name); }
    void Progress(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total) override
    {
        view.Progress(port, phase, unit, done, total);
    }
    void Result(const std::string& line) override { view.Result(port, line); }
    void Problem(const std::string& line) override { view.Problem(port, line); }

private:
    LineView& view;
    std::size_t port;
};

// The procedures of a port's thread, to their end: a stop aborts them at
// their next tick, and the thread's link waits for that tick.
class PortRunner final : public ProcedureRunner {
public:
    explicit PortRunner(std::chrono::seconds eraseTimeout) : runner(StoppableRun(eraseTimeout), {}) {}

    StepOutcome Run(Procedure& procedure, StepKind kind, JobObserver& observer) override
    {
        const StopSignals::ProcedureRunning running;
        return runner.Run(procedure, kind, observer);
    }

private:
    static ProcedureRun StoppableRun(std::chrono::seconds eraseTimeout)
    {
        ProcedureRun run;
        run.eraseTimeout = eraseTimeout;
        run.beforeTick = [](Procedure& procedure) {
            if (StopSignals::Requested())
                procedure.Abort();
        };
        return run;
    }

    BlockingRunner runner;
};

// A run asks nothing (the recipe is the confirmation): nothing reaches these.
class NoPrompts final : public Prompts {
public:
    std::optional<std::string> OpenFile(const OpenFileQuestion&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const SaveFileQuestion&) override { return std::nullopt; }
    bool Confirm(const std::string&, const std::string&, const std::string&) override { return false; }
    void Error(const std::string&, const std::string&) override {}
    void Inform(const std::string&, const std::string&) override {}
};

// The whole of one port's run, on its own thread.
PortRun RunOnePort(const LinePortsSetup& setup, std::size_t index, Recipe recipe, LineView& view)
{
    const auto start = std::chrono::steady_clock::now();
    PortRun run{.port = setup.ports[index], .outcome = {}, .duration = {}};
    const auto ended = [&]() -> PortRun& {
        run.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        view.Ended(index, run.outcome.result, RecordedExitCode(run.outcome.end));
        return run;
    };

    std::unique_ptr<ProductionDatabase> database;
    try {
        database = std::make_unique<ProductionDatabase>(setup.database);
    } catch (const DatabaseFailure& failure) {
        view.Problem(index, failure.what());
        run.outcome.end = JobEnd::DatabaseFailed;
        run.outcome.result = failure.what();
        return ended();
    }

    PortStackOptions stackOptions;
    stackOptions.stopNow = [] { return StopSignals::Urgent(); };
    if (setup.trace)
        stackOptions.trace = [&view, index](const std::string& line) { view.Trace(index, line); };
    PortStack stack = BuildPortStack(std::make_unique<QtPortBackend>(), std::move(stackOptions));
    DeviceLink link(std::move(stack.backend));
    MachineInfo info;
    PortRunner runner(setup.eraseTimeout);
    PortObserver observer(view, index);
    NoPrompts prompts;
    std::string openFailure;
    const JobContext job{.link = link,
                         .info = info,
                         .runner = runner,
                         .observer = observer,
                         .prompts = prompts,
                         .openLink =
                             [&] {
                                 const std::string& name = setup.ports[index];
                                 if (link.OpenPort(ResolvePort(name)))
                                     return true;
                                 openFailure = PortFailureText(name, link.LastAddress().device, link.OpenFailure());
                                 view.Problem(index, openFailure);
                                 return false;
                             },
                         .stopRequested = [] { return StopSignals::Requested(); }};
    run.outcome = RunLine(job, recipe, LineStation{.name = setup.station, .database = *database});
    if (run.outcome.end == JobEnd::PortUnavailable && run.outcome.result.empty())
        run.outcome.result = openFailure;
    link.ClosePort();
    return ended();
}

}  // namespace

std::vector<PortRun> RunLineOnPorts(const LinePortsSetup& setup, const Recipe& recipe, LineView& view)
{
    const std::size_t count = setup.ports.size();
    // Each run prepares its recipe's images for its machine: a copy each,
    // made here before any thread starts.
    std::vector<Recipe> recipes(count, recipe);
    // Each run hands its outcome over through a future, which orders the
    // thread's writes before the reads here.
    std::vector<std::packaged_task<PortRun()>> runs;
    runs.reserve(count);
    std::vector<std::future<PortRun>> outcomes;
    for (std::size_t index = 0; index < count; ++index) {
        runs.emplace_back([&, index] {
            try {
                return RunOnePort(setup, index, std::move(recipes[index]), view);
            } catch (const std::exception& error) {
                // This port alone ends: the others go on.
                view.Problem(index, error.what());
                PortRun failed{.port = setup.ports[index], .outcome = {}, .duration = {}};
                failed.outcome.end = JobEnd::MachineRefused;
                failed.outcome.result = error.what();
                view.Ended(index, failed.outcome.result, RecordedExitCode(failed.outcome.end));
                return failed;
            }
        });
        outcomes.push_back(runs.back().get_future());
    }
    // QThreads, not bare threads: a serial port's notifiers need a thread Qt knows.
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::packaged_task<PortRun()>& run : runs) {
        threads.emplace_back(QThread::create([&run] { run(); }));
        threads.back()->start();
    }
    std::vector<PortRun> ended;
    for (std::future<PortRun>& outcome : outcomes)
        ended.push_back(outcome.get());
    for (const auto& thread : threads)
        thread->wait();
    view.Close();
    return ended;
}

int WorstExitCode(const std::vector<int>& codes)
{
    static constexpr std::array kSeverity{5, 7, 6, 4, 3, 2, 1, 0};
    const auto rank = [](int code) {
        const auto* found = std::find(kSeverity.begin(), kSeverity.end(), code);
        return found == kSeverity.end() ? 0 : std::size_t(kSeverity.end() - found);
    };
    int worst = 0;
    for (const int code : codes) {
        if (rank(code) > rank(worst))
            worst = code;
    }
    return worst;
}
