#pragma once

#include "operations/Job.h"

#include <string>

class TBootForm;
class TProcedureForm;

// How the window runs a job's procedures: each in its modal dialog, ticked
// by the dialog's timed run (the download dialogs at 60 ms, the boot dialog
// at 54 ms), keeping the process-wide result text of its kind in step as
// the dialog does: a user download and a restore in "Download user
// program", a factory download in "Download factory program", a boot stream
// in "Booting ...", a verify in the dialog of the download it follows, a
// backup's read and a restore in the user program's dialog under captions
// of their own.
class DialogRunner final : public ProcedureRunner {
public:
    struct Dialogs {
        TProcedureForm& user;
        TProcedureForm& factory;
        TBootForm& boot;
    };
    struct ResultTexts {
        std::string& user;
        std::string& factory;
    };

    DialogRunner(Dialogs dialogs, ResultTexts texts);

    StepOutcome Run(Procedure& procedure, StepKind kind, JobObserver& observer) override;

private:
    Dialogs dialogs;
    ResultTexts texts;
    TProcedureForm* last = nullptr;  // the download dialog used last
};
