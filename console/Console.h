#pragma once

#include "link/DeviceLink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class ConsoleHost;
class SymbolTable;

// How a command ended; the first error ends it.
enum class ConsoleError {
    None,
    Syntax,            // "Syntax error", replacing the output gathered so far
    NoAnswer,          // "No answer", appended to it
    SymbolNotFound,    // "Symbol not found", replacing it
    InvalidParameter,  // "Invalid parameter", replacing it
    WindowOnly,        // "clear", "load" or "save" where there is no window
};

struct CommandResult {
    std::string output;  // lines separated by CR LF; may be empty
    ConsoleError error = ConsoleError::None;
};

// Whether a write is read back (memory) or not (register).
enum class ConsoleAccess : std::uint8_t { Memory = 0, Register = 1 };

// The developer console's command interpreter: one command a line, on the
// machine's X, Y and P memory by address or by symbol, over the one link.
// It keeps the console's defaults and its last command; each command starts
// from the defaults. What belongs to the window ("clear", "load", "save",
// opening a watch) it asks of its host.
class Console {
public:
    Console(DeviceLink& link, const SymbolTable& symbols, ConsoleHost& host);

    // The Enter key on `line`: the line without the characters of code 32 or
    // below at either end becomes the last command unless it is empty; then
    // the last command runs. Nothing when there is no last command yet.
    std::optional<CommandResult> Enter(std::string_view line);

    // One command line: its output (Latin-1, CR LF between lines) and how it
    // ended.
    CommandResult RunCommand(std::string_view command);

    MemorySpace DefaultSpace() const { return defaultSpace; }
    ConsoleAccess DefaultAccess() const { return defaultAccess; }
    const std::string& LastCommand() const { return lastCommand; }

private:
    struct Working;  // the state of one command

    // Each step false at the command's first error.
    bool AccessCommand(Working& command);
    bool Target(Working& command);
    bool OperationAndValue(Working& command);
    bool Perform(Working& command);
    bool Read(Working& command);
    bool Map(Working& command);

    DeviceLink& link;
    const SymbolTable& symbols;
    ConsoleHost& host;
    MemorySpace defaultSpace = MemorySpace::Y;
    ConsoleAccess defaultAccess = ConsoleAccess::Memory;
    std::string lastCommand;
};
