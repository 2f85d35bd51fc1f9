#pragma once

// Exit codes of mirelle-cli; scripts rely on them.
enum ExitCode : int {
    kDone = 0,
    kNoAnswer = 1,      // the machine did not answer
    kUsage = 2,         // the command line was wrong
    kFileRefused = 3,   // a file could not be read or was refused
    kMachineRefused = 4, // the machine refused or failed the operation
    kAborted = 5,
};
