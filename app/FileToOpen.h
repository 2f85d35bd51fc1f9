#pragma once

#include "images/FileKinds.h"

#include <optional>
#include <string>

// What mirelle-loader does with the file its command line names (a desktop
// entry's %f): the kind whose "Load" takes it, or why it is not opened.
struct FileToOpen {
    std::string path;               // absolute, as a dialog would have chosen it
    std::optional<FileKind> kind{};  // none: refused
    std::string refusal{};           // the error box's text: it names the file and the reason
};

// A .tbu (loaded) and a .tbk (offered for a restore) always; a .tbf, .tb or
// .tfs only for developers (`developer`: the window shows their panels and
// the console). A file that cannot be read,
// or whose extension is none of these, is refused.
FileToOpen ChooseFileToOpen(const std::string& path, bool developer);
