#pragma once

#include "images/FileKinds.h"

#include <functional>
#include <string>

class Prompts;

// What a "Load" leaves for its front end to show.
struct FileLoad {
    bool chosen = false;     // false: the dialog was cancelled and nothing changed
    std::string path;        // the full path chosen
    std::string statusText;  // the loader's summary or error
    bool loaded = false;     // the file passed every check of its loader
};

// The one "Load" of every file kind, for the user, factory and boot panels
// and the console's "load": the open dialog of the kind, started in the
// folder that the settings remember for it; the chosen file's folder stored
// again; then the kind's loader from the table of file kinds. A settings
// value that cannot be read or stored ("Invalid data type for '%s'", "Failed
// to set data for '%s'") is shown in an error box, and the load goes on.
class LoadFlow {
public:
    using Loader = std::function<LoadResult(const std::string& path)>;

    // The kind's loader, into its target among `targets`.
    LoadFlow(FileKind kind, const LoadTargets& targets);
    // Another loader behind the kind's dialog and folder (tests).
    LoadFlow(FileKind kind, Loader loader);

    FileLoad Load(Prompts& prompts);
    // A file chosen elsewhere, as the desktop gives it to the window: what
    // follows the dialog, its folder stored for the kind, then the loader.
    FileLoad LoadChosen(const std::string& path, Prompts& prompts);
    // The loader alone, for a path given without a dialog (a command line):
    // no dialog, no folder stored.
    FileLoad Load(const std::string& path);

    // The folder the dialog starts in when no settings value names one; it
    // follows the chosen files for the whole run, as a dialog's does.
    const std::string& InitialFolder() const { return initialFolder; }

private:
    FileKind kind;
    Loader loader;
    std::string initialFolder;
};
