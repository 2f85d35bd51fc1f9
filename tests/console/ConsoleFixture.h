#pragma once

// The console over the in-process machine model, with a symbol table of the
// test's own and a host that records what the commands ask of the window.

#include "console/Console.h"
#include "console/ConsoleFiles.h"
#include "console/ConsoleHost.h"
#include "support/ModelFixture.h"
#include "support/OwnedTargets.h"
#include "support/ScriptedPrompts.h"
#include "images/SymbolTable.h"
#include "support/TestFiles.h"

#include <optional>
#include <string>
#include <vector>

// The window's part as a test plays it: "clear" counted, "load" and "save"
// through the console's file commands on a text the test sets, watches
// recorded. Without a window, the three file commands are refused.
class ScriptedHost final : public ConsoleHost {
public:
    ScriptedHost(ScriptedPrompts& prompts, const LoadTargets& targets) : files(prompts, targets) {}

    std::optional<std::string> Clear() override
    {
        if (!window)
            return std::nullopt;
        ++clears;
        return std::string();
    }
    std::optional<std::string> Load() override
    {
        return window ? std::optional(files.LoadSymbols()) : std::nullopt;
    }
    std::optional<std::string> Save() override
    {
        return window ? std::optional(files.SaveLog(text)) : std::nullopt;
    }
    void OpenWatch(const WatchOrder& order) override { watches.push_back(order); }

    bool window = true;
    std::string text;  // the console's text, for "save"
    int clears = 0;
    std::vector<WatchOrder> watches;

private:
    ConsoleFiles files;
};

// Symbols of every kind and space; "far" lies beyond 24 bits.
inline std::vector<SymbolContent> ConsoleSymbols()
{
    constexpr std::uint32_t entry = 1, interrupt = 2, x = 0x100, y = 0x200, p = 0x400;
    return {
        {"start", "main", "mainprog", 0x0040, entry | p},
        {"Timer_IRQ", "main", "mainprog", 0x0060, interrupt | p},
        {"gain", "audio", "mainprog", 0x0010, y},
        {"gain", "mixer", "mainprog", 0x0011, y},
        {"status", "io", "", 0x0020, x},
        {"counter", "", "", 0x0004, 0},
        {"far", "", "", 0x1000010, x},
    };
}

struct ConsoleFixture {
    ModelLink m;
    TestFiles files;
    OwnedTargets loads;
    SymbolTable& symbols = loads.symbols;
    ScriptedPrompts prompts;
    ScriptedHost host{prompts, loads.Targets()};
    Console console{m.link, symbols, host};

    ConsoleFixture() { EXPECT_TRUE(symbols.LoadSymbolFile(files.Put("test.tfs", SymbolFileBytes(ConsoleSymbols())))); }

    std::string Output(std::string_view command) { return console.RunCommand(command).output; }
    std::uint32_t Word(MemorySpace space, std::uint32_t address) const
    {
        return m.machine.MemoryWord(std::uint8_t(space), address);
    }
    void SetWord(MemorySpace space, std::uint32_t address, std::uint32_t value)
    {
        m.machine.SetMemoryWord(std::uint8_t(space), address, value);
    }
    // The word counts of the ReadMemory requests the machine carried out.
    std::vector<unsigned> ReadCounts() const
    {
        std::vector<unsigned> counts;
        for (const auto& request : m.machine.RequestLog())
            if (request.classByte == Command::kMemoryClass && request.opcode == Command::kReadMemory)
                counts.push_back(request.parameters.at(5));
        return counts;
    }
};
