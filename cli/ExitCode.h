#pragma once

#include "app/panels/ActionStart.h"
#include "procedures/Procedure.h"

// Exit codes of mirelle-cli; scripts rely on them.
enum class ExitCode : int {
    Done = 0,
    NoAnswer = 1,        // the machine did not answer
    Usage = 2,           // the command line was wrong
    FileRefused = 3,     // a file could not be read or was refused
    MachineRefused = 4,  // the machine refused or failed the operation
    Aborted = 5,
    PortUnavailable = 6,  // the port could not be opened, or none was selected
    DatabaseUnavailable = 7,  // the production database could not be reached or written
};

// The exit code of a procedure's outcome: a bad status is the machine's
// refusal; a stream the port did not take reached no machine.
constexpr ExitCode ExitCodeOf(ProcedureResult result)
{
    switch (result) {
    case ProcedureResult::Done: return ExitCode::Done;
    case ProcedureResult::NoAnswer:
    case ProcedureResult::WriteFailed: return ExitCode::NoAnswer;
    case ProcedureResult::Aborted: return ExitCode::Aborted;
    default: return ExitCode::MachineRefused;
    }
}

// The exit code of a refused start.
constexpr ExitCode ExitCodeOf(ActionRefusal refusal)
{
    switch (refusal) {
    case ActionRefusal::NoAnswer: return ExitCode::NoAnswer;
    case ActionRefusal::NotLoaded: return ExitCode::FileRefused;
    default: return ExitCode::MachineRefused;
    }
}
