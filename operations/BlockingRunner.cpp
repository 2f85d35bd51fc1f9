#include "operations/BlockingRunner.h"

BlockingRunner::BlockingRunner() : BlockingRunner({}, {nullptr, nullptr}) {}

BlockingRunner::BlockingRunner(ProcedureRun run, ResultTexts texts) : run(std::move(run)), texts(texts) {}

StepOutcome BlockingRunner::Run(Procedure& procedure, StepKind kind, JobObserver& observer)
{
    std::string own;
    std::string* resultText = &own;
    if ((kind == StepKind::UserDownload || kind == StepKind::Restore) && texts.user)
        resultText = texts.user;
    if (kind == StepKind::FactoryDownload && texts.factory)
        resultText = texts.factory;

    ProcedureRun observed = run;
    observed.afterTick = [&](const Procedure& running) {
        if (run.afterTick)
            run.afterTick(running);
        if (running.IsFinished())
            return;
        const ProcedureProgress work = running.Work();
        observer.Progress(running.StatusText(), running.WorkUnit(), work.position - work.minimum,
                          work.maximum - work.minimum);
    };
    const auto start = run.clock.now();
    RunProcedure(procedure, *resultText, observed);
    return {.kind = kind,
            .result = procedure.Outcome(),
            .text = procedure.ResultText(),
            .counts = procedure.Counts(),
            .duration = std::chrono::duration_cast<std::chrono::milliseconds>(run.clock.now() - start)};
}
