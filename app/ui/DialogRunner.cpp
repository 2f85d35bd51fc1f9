#include "app/ui/DialogRunner.h"

#include "procedures/ui/BootForm.h"
#include "procedures/ui/ProcedureForm.h"

#include <chrono>

DialogRunner::DialogRunner(Dialogs dialogs, ResultTexts texts) : dialogs(dialogs), texts(texts) {}

StepOutcome DialogRunner::Run(Procedure& procedure, StepKind kind, JobObserver&)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    switch (kind) {
    case StepKind::UserDownload:
        last = &dialogs.user;
        dialogs.user.Run(procedure, &texts.user);
        break;
    case StepKind::Restore:
        last = &dialogs.user;
        dialogs.user.Run(procedure, &texts.user, QStringLiteral("Restore user program"));
        break;
    case StepKind::FactoryDownload:
        last = &dialogs.factory;
        dialogs.factory.Run(procedure, &texts.factory);
        break;
    case StepKind::Boot: dialogs.boot.Run(procedure); break;
    case StepKind::Verify: (last ? *last : dialogs.user).Run(procedure, nullptr); break;
    case StepKind::Read: dialogs.user.Run(procedure, nullptr, QStringLiteral("Back up user program")); break;
    }
    return {.kind = kind,
            .result = procedure.Outcome(),
            .text = procedure.ResultText(),
            .counts = procedure.Counts(),
            .duration = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
}
