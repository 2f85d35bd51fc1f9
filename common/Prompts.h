#pragma once

#include <optional>
#include <string>
#include <vector>

// One entry of a file dialog's filter: a description and a pattern, as the
// behaviour writes them ("Any files (*.*)" and "*.*", which stands for every
// file whatever the platform's notation).
struct FileFilter {
    const char* description;
    const char* pattern;
};

struct OpenFileQuestion {
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultSuffix;  // added to a typed name without one; no dot
    std::string presetName;     // the file name the dialog proposes; may be empty
    std::string initialFolder;  // empty: wherever the dialog would start
    bool fileMustExist = true;
};

struct SaveFileQuestion {
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultSuffix;
    std::string initialFolder;
    bool replaceWithoutAsking = true;  // an existing file is replaced, no question
};

// Everything the tool asks of its user goes through here: file dialogs,
// confirmations and error boxes. The window answers with Qt's widgets, the
// command line with the terminal and --yes, tests with a scripted queue, so
// that no core operation and no handler shows a dialog of its own.
class Prompts {
public:
    virtual ~Prompts() = default;

    // The chosen path (UTF-8), or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFile(const OpenFileQuestion& question) = 0;
    virtual std::optional<std::string> SaveFile(const SaveFileQuestion& question) = 0;
    // The exclamation sound, then a box with the exclamation icon and the
    // buttons Yes and No, No being the default. True only for Yes.
    // `informative`, when not empty, stands under the question: what the
    // answer will do, in detail (the text a once-only field will hold).
    virtual bool Confirm(const std::string& caption, const std::string& text, const std::string& informative) = 0;
    bool Confirm(const std::string& caption, const std::string& text) { return Confirm(caption, text, {}); }
    // The exclamation sound, then a box with the stop icon and OK.
    virtual void Error(const std::string& caption, const std::string& text) = 0;
    // A box with the information icon and OK (the program's About).
    virtual void Inform(const std::string& caption, const std::string& text) = 0;
    // Why no confirmation can be had here at all (a command line whose
    // standard input is no terminal, without --yes), so that a job says so
    // before it touches the machine; nothing when one can be asked.
    virtual std::optional<std::string> NoConfirmation() const { return std::nullopt; }
};
