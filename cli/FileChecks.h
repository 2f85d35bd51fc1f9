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
// The line names the command that takes the file ("use mirelle-cli factory
// sample.tbf") before --kind. Nothing: the file is loaded. Other extensions
// and none load as always.
std::optional<ExitCode> RefuseFileOfAnotherKind(CliSession& session, FileKind takes, const std::string& path);

// After a load that failed, beside the loader's own text on standard output
// ("Unable to open file", "Unexpected end of file"): the file named on
// standard error with the system's reason when it cannot be opened
// ("sample.tbu: No such file or directory"), else with the loader's text
// ("sample.tbu: Unexpected end of file").
void SayWhyRefused(CliSession& session, const std::string& path, const std::string& loaderText);
// The same for a file that cannot be opened only ("symbols.tfs: No such file
// or directory"): the console's symbol file, whose own text is already a
// line of standard error.
void SayWhyNotOpened(CliSession& session, const std::string& path);
