#pragma once

#include "files/LoadFlow.h"

#include <string>

class Prompts;

// The console window's two file commands, through the prompts' dialogs:
// "load" reads a symbol file into the table, "save" writes the console's text
// as a log file. Each dialog starts where the last one of its kind ended.
class ConsoleFiles {
public:
    // "load" loads symbol files into `targets.symbols`.
    ConsoleFiles(Prompts& prompts, const LoadTargets& targets);

    // "load": the LoadFlow of the symbol file kind: its dialog, in the folder
    // the settings value "Prog2Dir" names when it exists; the chosen file's
    // folder stored there, then the file loaded. "File loaded", "File not
    // loaded", or empty when the dialog was cancelled (table and setting
    // unchanged). Settings errors pass on to the caller.
    std::string LoadSymbols();
    // The same for a symbol file chosen elsewhere (the window's command
    // line): its folder stored, then loaded; "File loaded" or "File not loaded".
    std::string LoadSymbols(const std::string& path);

    // "save": the log file dialog, then `text` (Latin-1, CR LF lines) written
    // to the chosen file, an existing one replaced whole without a question
    // (files/AtomicFile.h). A file that cannot be written (a device, a
    // folder, a full disk) leaves an existing file as it was and is told in
    // an error box, "Log file not saved : ", the file and the reason; the
    // console shows nothing of it. Always empty.
    std::string SaveLog(const std::string& text);

private:
    Prompts& prompts;
    LoadFlow symbolLoad;
    std::string logFolder;
};
