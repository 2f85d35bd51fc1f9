#pragma once

#include "common/FolderPart.h"
#include "images/FileKinds.h"

#include <functional>
#include <string>

class Prompts;

// What a file panel shows after its "Load" button.
struct FileLoad {
    bool chosen = false;     // false: the dialog was cancelled and nothing changed
    std::string path;        // the file-name label: the full path chosen
    std::string statusText;  // the status label: the loader's summary or error
    bool loaded = false;     // the file passed every check of its loader
};

// The "Load" button that the user, factory and boot panels share (each is a
// FilePanel with its action button): the open dialog of the panel's file
// kind, started in the folder that the settings remember for it; the chosen
// file's folder stored again; then the loader. Settings errors ("Invalid
// data type for '%s'", "Failed to set data for '%s'") pass on to the
// caller, which shows them.
class FilePanel {
public:
    // What a loader leaves: the image's statusText and loaded flag.
    struct Loaded {
        std::string statusText;
        bool loaded = false;
    };
    using Loader = std::function<Loaded(const std::string& path)>;

    FilePanel(FileKind kind, Loader loader);

    FileLoad Load(Prompts& prompts);
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
