#pragma once

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
