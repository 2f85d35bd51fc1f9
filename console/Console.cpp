#include "console/Console.h"

#include "common/TextFormat.h"
#include "console/CommandTokens.h"
#include "console/ConsoleHost.h"
#include "console/SpaceLetter.h"
#include "images/SymbolTable.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint32_t kWordMask = 0xFFFFFF;
constexpr std::uint32_t kMaxMapLines = 500;
constexpr std::uint32_t kMapLinesByDefault = 4;
constexpr unsigned kWordsPerLine = 4;
// A map asks for as many words as a request may carry: four lines.
constexpr std::uint32_t kLinesPerRequest = Command::kMaxMemoryWords / kWordsPerLine;

enum class Operation { None, Read, Write, Map, Execute, Kill, Watch };

const char* ErrorText(ConsoleError error)
{
    switch (error) {
    case ConsoleError::Syntax: return "Syntax error";
    case ConsoleError::NoAnswer: return "No answer";
    case ConsoleError::SymbolNotFound: return "Symbol not found";
    case ConsoleError::InvalidParameter: return "Invalid parameter";
    default: return "";
    }
}

bool IsDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsControlOrBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trimmed(std::string_view line)
{
    const auto first = std::find_if_not(line.begin(), line.end(), IsControlOrBlank);
    const auto last = std::find_if_not(line.rbegin(), line.rend(), IsControlOrBlank).base();
    return first < last ? std::string_view(first, last) : std::string_view();
}

// The output of "clear", "load" or "save", or its refusal where there is no window.
CommandResult FileCommand(const std::optional<std::string>& output)
{
    if (!output)
        return {{}, ConsoleError::WindowOnly};
    return {*output, ConsoleError::None};
}

}  // namespace

struct Console::Working {
    std::string_view rest;  // the command buffer after the current token
    std::string token{};    // the current token; empty when none is left
    MemorySpace space;
    ConsoleAccess access;
    bool spaceNamed = false;
    bool accessNamed = false;
    bool defaultSetting = false;
    std::uint32_t address = 0;
    Operation operation = Operation::None;
    std::uint32_t value = 0;  // write value, execute parameter or map line count
    std::uint32_t watchCount = 1;
    std::uint32_t watchInterval = 1000;
    std::string watchCaption{};
    std::string output{};
    ConsoleError error = ConsoleError::None;

    bool Next() { return NextToken(token, rest) > 0; }
    bool Fail(ConsoleError failure)
    {
        error = failure;
        return false;
    }
};

Console::Console(DeviceLink& link, const SymbolTable& symbols, ConsoleHost& host)
    : link(link), symbols(symbols), host(host)
{
}

std::optional<CommandResult> Console::Enter(std::string_view line)
{
    const std::string_view command = Trimmed(line);
    if (!command.empty())
        lastCommand = command;
    if (lastCommand.empty())
        return std::nullopt;
    return RunCommand(lastCommand);
}

CommandResult Console::RunCommand(std::string_view command)
{
    // The command buffer: the command up to an end mark, cut to the buffer's size.
    const std::string buffer(command.substr(0, std::min(command.find('\0'), kCommandBufferSize)));
    Working working{.rest = buffer, .space = defaultSpace, .access = defaultAccess};
    if (!working.Next())
        return {};
    if (working.token == "clear")
        return FileCommand(host.Clear());
    if (working.token == "load")
        return FileCommand(host.Load());
    if (working.token == "save")
        return FileCommand(host.Save());

    AccessCommand(working);
    switch (working.error) {
    case ConsoleError::None: return {working.output, ConsoleError::None};
    case ConsoleError::NoAnswer: return {working.output + ErrorText(working.error), working.error};
    default: return {ErrorText(working.error), working.error};
    }
}

bool Console::AccessCommand(Working& command)
{
    // The keywords in their order, each tested once at its place.
    if (command.token == "int")
        command.Next();
    if (command.token == "entry")
        command.Next();
    if (command.token == "default") {
        command.defaultSetting = true;
        command.Next();
    }
    if (command.token == "register" || command.token == "memory") {
        command.access = command.token == "register" ? ConsoleAccess::Register : ConsoleAccess::Memory;
        command.accessNamed = true;
        command.Next();
    }
    if (command.token == "_x" || command.token == "_y" || command.token == "_p") {
        command.space = command.token == "_x" ? MemorySpace::X : command.token == "_y" ? MemorySpace::Y : MemorySpace::P;
        command.spaceNamed = true;
        command.Next();
    }
    if (command.defaultSetting) {
        if (!command.token.empty() || (!command.spaceNamed && !command.accessNamed))
            return command.Fail(ConsoleError::Syntax);
        defaultSpace = command.space;
        defaultAccess = command.access;
        return true;
    }
    return Target(command) && OperationAndValue(command) && Perform(command);
}

bool Console::Target(Working& command)
{
    if (!command.token.empty() && IsDecimalDigit(command.token[0])) {
        command.address = ReadHexNumber(command.token) & kWordMask;
        return true;
    }
    // A symbol, also an empty one when the command held only keywords.
    DottedName name = SplitDottedName(command.token);
    const int index = symbols.FindSymbol(name.name, name.inner, name.outer);
    if (index < 0)
        return command.Fail(ConsoleError::SymbolNotFound);
    const SymbolRecord& symbol = symbols.Record(std::size_t(index));
    command.address = symbol.symbolAddress;  // whole, not cut to 24 bits
    if (!command.spaceNamed)
        command.space = MemorySpace(SymbolSpaceCode(symbol.symbolFlags));
    command.output += DisplayLine(symbol);
    command.watchCaption = QualifiedName(symbol);
    return true;
}

bool Console::OperationAndValue(Working& command)
{
    if (!command.Next()) {
        command.operation = Operation::Read;
        return true;
    }
    if (command.token == "=") {
        command.operation = Operation::Write;
    } else if (command.token == "xeq") {
        command.operation = Operation::Execute;
    } else if (command.token == "kill") {
        command.operation = Operation::Kill;
    } else if (command.token == "map") {
        command.operation = Operation::Map;
        command.value = kMapLinesByDefault;
    } else if (command.token == "watch") {
        command.operation = Operation::Watch;
        // Up to three words: the count, the interval, the caption.
        if (command.Next()) {
            const auto count = ReadSignedNumber(command.token);
            if (!count)
                return command.Fail(ConsoleError::Syntax);
            command.watchCount = *count;
            if (command.Next()) {
                const auto interval = ReadSignedNumber(command.token);
                if (!interval)
                    return command.Fail(ConsoleError::Syntax);
                command.watchInterval = *interval;
                if (command.Next())
                    command.watchCaption = command.token;
            }
        }
    }

    // The value; with no operation it is read and not used.
    if (!command.Next())
        return command.operation != Operation::Write || command.Fail(ConsoleError::Syntax);
    if (command.operation == Operation::Kill || command.operation == Operation::Watch)
        return command.Fail(ConsoleError::Syntax);
    const auto value = ReadSignedNumber(command.token);
    if (!value)
        return command.Fail(ConsoleError::Syntax);
    command.value = *value & kWordMask;
    return true;
}

bool Console::Perform(Working& command)
{
    const char space = SpaceLetter(command.space);
    switch (command.operation) {
    case Operation::Read:
        return Read(command);
    case Operation::Write:
        if (!link.WriteMemory(command.address, command.space, 1, &command.value))
            return command.Fail(ConsoleError::NoAnswer);
        command.output += FormatText("write _%c 0x%06X = 0x%06X (%i)", space, command.address, command.value,
                                     int(command.value));
        if (command.access == ConsoleAccess::Register)
            return true;
        command.output += "\r\n";
        return Read(command);
    case Operation::Map:
        return Map(command);
    case Operation::Execute:
        // The parameter goes as the 64-bit one; the three bytes and the 32-bit one are 0.
        if (!link.Execute(command.address, {0, 0, 0}, 0, command.value))
            return command.Fail(ConsoleError::NoAnswer);
        command.output += "executed";
        return true;
    case Operation::Kill:
        if (!link.Kill(command.address))
            return command.Fail(ConsoleError::NoAnswer);
        command.output += "killed";
        return true;
    case Operation::Watch:
        host.OpenWatch({.caption = command.watchCaption,
                        .count = command.watchCount,
                        .interval = command.watchInterval,
                        .space = command.space,
                        .address = command.address});
        command.output += "add to watch";
        return true;
    case Operation::None:
        return true;
    }
    return true;
}

bool Console::Read(Working& command)
{
    std::uint32_t word = 0;
    if (!link.ReadMemory(command.address, command.space, 1, &word))
        return command.Fail(ConsoleError::NoAnswer);
    // The word as received: more than six digits if the machine sends more than 24 bits.
    command.output += FormatText("read  _%c 0x%06X = 0x%06X (%i)", SpaceLetter(command.space), command.address, word,
                                 int(std::int32_t(word)));
    return true;
}

bool Console::Map(Working& command)
{
    if (command.value < 1 || command.value > kMaxMapLines)
        return command.Fail(ConsoleError::InvalidParameter);
    command.output += FormatText("map  _%c 0x%06X\r\n", SpaceLetter(command.space), command.address);
    // Four lines a request; the remainder in one smaller request.
    std::uint32_t at = command.address;
    for (std::uint32_t lines = command.value; lines > 0;) {
        const std::uint32_t block = std::min(lines, kLinesPerRequest);
        std::array<std::uint32_t, Command::kMaxMemoryWords> words{};
        if (!link.ReadMemory(at, command.space, unsigned(block * kWordsPerLine), words.data()))
            return command.Fail(ConsoleError::NoAnswer);
        for (std::uint32_t line = 0; line < block; ++line) {
            const std::uint32_t* four = &words[line * kWordsPerLine];
            command.output += FormatText(" 0x%06X 0x%06X 0x%06X 0x%06X\r\n", four[0], four[1], four[2], four[3]);
        }
        at += block * kWordsPerLine;
        lines -= block;
    }
    return true;
}
