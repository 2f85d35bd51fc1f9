#pragma once

#include "cli/ExitCode.h"
#include "images/FileKinds.h"

#include <optional>
#include <string>

class CliSession;

// What a command that loads a file of one kind checks before and after.

// Before the load: a file whose extension is that of another kind (a .tbu
// given to factory) is refused before anything is sent, with one line on
// standard error saying which kind the command takes and which the file is:
// ExitCode::FileRefused. --kind naming the command's kind loads the file as
// that kind whatever its extension; --kind naming another is a usage error.
// Nothing: the file is loaded. Other extensions and none load as always.
std::optional<ExitCode> RefuseFileOfAnotherKind(CliSession& session, FileKind takes, const std::string& path);

// After a load that failed: when the file cannot be opened, the file and the
// reason on standard error ("sample.tbu: No such file or directory"), beside
// the loader's own text ("Unable to open file", "File not loaded").
void SayWhyNotOpened(CliSession& session, const std::string& path);
