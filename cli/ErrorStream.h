#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// The one writer of mirelle-cli's standard error for the whole run: the
// progress, the notes, the diagnostics and the --trace lines all go through
// it. On a terminal the progress is a status line redrawn in place; a line
// written while one is drawn first clears it, then takes its place, and the
// status line is drawn again below it, so that no line ever lands on the
// status line's.
class ErrorStream {
public:
    // How the stream is shown: on a terminal, whose columns are asked afresh
    // at each use (0: unknown), or not.
    struct Display {
        bool terminal = false;
        std::function<int()> columns;
    };

    // The stream as it is: a terminal or not (cli/Terminal.h).
    explicit ErrorStream(std::FILE* file);
    ErrorStream(std::FILE* file, Display display);
    ErrorStream(const ErrorStream&) = delete;
    ErrorStream& operator=(const ErrorStream&) = delete;

    std::FILE* File() const { return file; }
    bool OnTerminal() const { return display.terminal; }
    // The columns a status line may take now: the terminal's less three, so
    // that the cursor never wraps to the next line and the echo of Ctrl-C
    // has room; 77 when unknown.
    std::size_t StatusWidth() const;

    // With --json every line of standard error is a JSON object of its own:
    // the lines below are then written as {"KIND": "line"}.
    void SetJson(bool json) { this->json = json; }
    bool Json() const { return json; }

    // A whole line, without its line break; with --json the object
    // {"KIND": line} (KIND "note", "error", "hint", "trace" ...).
    void Line(const std::string& line, const char* kind = "note");
    // A line that is a JSON object already (the progress with --json).
    void JsonLine(const std::string& object);
    // Text as it stands (a question that the answer follows on the same
    // line). A status line drawn is cleared first and drawn again only by
    // the next Status().
    void Write(const std::string& text);
    // On a terminal: the status line, drawn in place of the one before and
    // cut to StatusWidth(). Elsewhere: written as a line.
    void Status(const std::string& text);
    // Leaves the status line as last drawn and ends it with a line break.
    void EndStatus();

private:
    void ClearStatus();
    void DrawStatus();

    std::FILE* file;
    Display display;
    std::string status;  // the status line drawn, if any
    bool drawn = false;
    bool json = false;
};
