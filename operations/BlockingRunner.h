#pragma once

#include "operations/Job.h"
#include "procedures/RunProcedure.h"

#include <string>

// The runner outside a window (the command line, a production line's
// threads, tests and benchmarks): each procedure run to its end with
// RunProcedure, its progress told to the observer after each tick.
class BlockingRunner final : public ProcedureRunner {
public:
    // The result texts it keeps in step, where the front end has them (the
    // process-wide ones of the behaviour); none for a run that has none.
    struct ResultTexts {
        std::string* user = nullptr;
        std::string* factory = nullptr;
    };

    BlockingRunner();
    BlockingRunner(ProcedureRun run, ResultTexts texts);

    StepOutcome Run(Procedure& procedure, StepKind kind, JobObserver& observer) override;

private:
    ProcedureRun run;
    ResultTexts texts;
};
