// The console's command interpreter against the in-process machine: every
// output compared character for character.
#include "ConsoleFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

struct Case {
    const char* command;
    const char* output;
};

class InterpreterTest : public testing::Test, protected ConsoleFixture {
protected:
    void SetUp() override
    {
        SetWord(MemorySpace::Y, 0x100, 0x001234);
        SetWord(MemorySpace::X, 0x100, 0x800000);
        SetWord(MemorySpace::Y, 0x234567, 0x000042);
        SetWord(MemorySpace::P, 0x40, 0x0C0FFE);
        SetWord(MemorySpace::X, 0x40, 0x000007);
        SetWord(MemorySpace::Y, 0x4, 0x000099);
    }
    void RunAll(std::initializer_list<Case> cases)
    {
        for (const Case& c : cases)
            EXPECT_EQ(Output(c.command), c.output) << c.command;
    }
};

TEST_F(InterpreterTest, ReadsByNumber)
{
    RunAll({
        {"100", "read  _y 0x000100 = 0x001234 (4660)"},
        {"_x 100", "read  _x 0x000100 = 0x800000 (8388608)"},
        {"int entry memory _y 0x100", "read  _y 0x000100 = 0x001234 (4660)"},
        {"  100\t", "read  _y 0x000100 = 0x001234 (4660)"},
        // Wider than 24 bits: the low 24 bits; the rest of the token ignored.
        {"1234567", "read  _y 0x234567 = 0x000042 (66)"},
        {"0X100zz", "read  _y 0x000100 = 0x001234 (4660)"},
        {"0xg", "read  _y 0x000000 = 0x000000 (0)"},
        {"_p 12abcdef", "read  _p 0xABCDEF = 0x000000 (0)"},
        // An unknown operation word: nothing at all; a value after it is read and not used.
        {"100 peek", ""},
        {"100 peek 5", ""},
        {"100 peek five", "Syntax error"},
        {"", ""},
        {" \t ", ""},
    });
}

TEST_F(InterpreterTest, WritesReadBackWithMemoryAccessOnly)
{
    RunAll({
        {"_x 200 = 0x123", "write _x 0x000200 = 0x000123 (291)\r\nread  _x 0x000200 = 0x000123 (291)"},
        {"200 = -1", "write _y 0x000200 = 0xFFFFFF (16777215)\r\nread  _y 0x000200 = 0xFFFFFF (16777215)"},
        {"register _p 200 = 12abc", "write _p 0x000200 = 0x00000C (12)"},
        {"memory 201 = 010", "write _y 0x000201 = 0x000008 (8)\r\nread  _y 0x000201 = 0x000008 (8)"},
        {"register 202 = 09", "write _y 0x000202 = 0x000000 (0)"},
        {"register 203 = +0x1000005 ignored", "write _y 0x000203 = 0x000005 (5)"},
        {"register 204 = 99999999999", "write _y 0x000204 = 0x76E7FF (7792639)"},
        {"200 =", "Syntax error"},
        {"200 = abc", "Syntax error"},
        {"200 = -", "Syntax error"},
    });
    EXPECT_EQ(Word(MemorySpace::X, 0x200), 0x123u);
    EXPECT_EQ(Word(MemorySpace::P, 0x200), 12u);
    EXPECT_EQ(Word(MemorySpace::Y, 0x203), 5u);

    m.machine.ClearRequestLog();
    Output("register 205 = 1");
    EXPECT_TRUE(ReadCounts().empty());
    Output("205 = 1");
    EXPECT_THAT(ReadCounts(), ElementsAre(1u));
}

TEST_F(InterpreterTest, SymbolsAreLookedUpAndUsedWhole)
{
    RunAll({
        {"main.start", "entry mainprog.main.start\r\nread  _p 0x000040 = 0x0C0FFE (790526)"},
        {"MAIN.Start", "entry mainprog.main.start\r\nread  _p 0x000040 = 0x0C0FFE (790526)"},
        // The symbol line entered again is the same command.
        {"entry mainprog.main.start", "entry mainprog.main.start\r\nread  _p 0x000040 = 0x0C0FFE (790526)"},
        {"int mainprog.main.timer_irq", "int mainprog.main.timer_irq\r\nread  _p 0x000060 = 0x000000 (0)"},
        // A named space wins over the symbol's own; no space bits read as Y.
        {"_x start", "entry mainprog.main.start\r\nread  _x 0x000040 = 0x000007 (7)"},
        {"counter", "..counter\r\nread  _y 0x000004 = 0x000099 (153)"},
        {"mixer.gain", "mainprog.mixer.gain\r\nread  _y 0x000011 = 0x000000 (0)"},
        {"register status = 3", ".io.status\r\nwrite _x 0x000020 = 0x000003 (3)"},
        {"start peek", "entry mainprog.main.start\r\n"},
        // A leading letter makes a symbol, also of a hexadecimal number.
        {"abc", "Symbol not found"},
        {"CLEAR", "Symbol not found"},
        {"Load", "Symbol not found"},
        {"+5", "Symbol not found"},
        // Keywords out of their order, or alone, are targets.
        {"entry int start", "Symbol not found"},
        {"_x _y 100", "Symbol not found"},
        {"memory register 100", "Symbol not found"},
        {"_x", "Symbol not found"},
        // Not reduced to 24 bits: the machine takes no such address.
        {"far", "..far\r\nNo answer"},
        {"far map", "..far\r\nmap  _x 0x1000010\r\nNo answer"},
        {"1000010", "read  _y 0x000010 = 0x000000 (0)"},
    });
}

TEST_F(InterpreterTest, TheDefaultsChangeOnlyWhatADefaultCommandNames)
{
    RunAll({{"default", "Syntax error"}, {"default 100", "Syntax error"}, {"default _x 100", "Syntax error"}});
    EXPECT_EQ(console.DefaultSpace(), MemorySpace::Y);
    EXPECT_EQ(console.DefaultAccess(), ConsoleAccess::Memory);

    EXPECT_EQ(Output("default _x"), "");
    EXPECT_EQ(console.DefaultSpace(), MemorySpace::X);
    EXPECT_EQ(console.DefaultAccess(), ConsoleAccess::Memory);
    EXPECT_EQ(Output("100"), "read  _x 0x000100 = 0x800000 (8388608)");

    EXPECT_EQ(Output("int default register"), "");
    EXPECT_EQ(console.DefaultSpace(), MemorySpace::X);
    EXPECT_EQ(console.DefaultAccess(), ConsoleAccess::Register);
    EXPECT_EQ(Output("300 = 1"), "write _x 0x000300 = 0x000001 (1)");
    EXPECT_EQ(Output("memory 300 = 2"), "write _x 0x000300 = 0x000002 (2)\r\nread  _x 0x000300 = 0x000002 (2)");
    // A symbol's own space still beats the default one.
    EXPECT_EQ(Output("counter"), "..counter\r\nread  _y 0x000004 = 0x000099 (153)");

    EXPECT_EQ(Output("default memory _p"), "");
    EXPECT_EQ(console.DefaultSpace(), MemorySpace::P);
    EXPECT_EQ(console.DefaultAccess(), ConsoleAccess::Memory);
}

TEST_F(InterpreterTest, MapsInBlocksOfSixteenWords)
{
    for (std::uint32_t i = 0; i < 20; ++i)
        SetWord(MemorySpace::Y, 0x10 + i, 0x100 + i);
    m.machine.ClearRequestLog();
    EXPECT_EQ(Output("10 map"),
              "map  _y 0x000010\r\n"
              " 0x000100 0x000101 0x000102 0x000103\r\n"
              " 0x000104 0x000105 0x000106 0x000107\r\n"
              " 0x000108 0x000109 0x00010A 0x00010B\r\n"
              " 0x00010C 0x00010D 0x00010E 0x00010F\r\n");
    EXPECT_THAT(ReadCounts(), ElementsAre(16u));

    m.machine.ClearRequestLog();
    EXPECT_EQ(Output("start map 5").substr(0, 45), "entry mainprog.main.start\r\nmap  _p 0x000040\r\n");
    EXPECT_THAT(ReadCounts(), ElementsAre(16u, 4u));

    m.machine.ClearRequestLog();
    const std::string longest = Output("0 map 500");
    EXPECT_EQ(std::count(longest.begin(), longest.end(), '\n'), 501);
    EXPECT_EQ(ReadCounts(), std::vector<unsigned>(125, 16u));

    m.machine.ClearRequestLog();
    RunAll({{"10 map 0", "Invalid parameter"},
            {"10 map 501", "Invalid parameter"},
            {"10 map -1", "Invalid parameter"},
            {"start map 0", "Invalid parameter"},
            {"10 map x", "Syntax error"}});
    EXPECT_TRUE(ReadCounts().empty());
    EXPECT_EQ(Output("10 map 0x1000001"), "map  _y 0x000010\r\n 0x000100 0x000101 0x000102 0x000103\r\n");
}

TEST_F(InterpreterTest, ExecuteKillAndTheirArguments)
{
    RunAll({
        {"_p 40 xeq", "executed"},
        {"start xeq -1", "entry mainprog.main.start\r\nexecuted"},
        {"41 xeq 0x1234567", "executed"},
        {"40 kill", "killed"},
        {"40 kill 1", "Syntax error"},
        {"40 xeq go", "Syntax error"},
    });
    ASSERT_EQ(m.machine.Executions().size(), 3u);
    EXPECT_EQ(m.machine.Executions()[0].address, 0x40u);
    EXPECT_EQ(m.machine.Executions()[0].parameter64, 0u);
    EXPECT_EQ(m.machine.Executions()[1].parameter64, 0xFFFFFFu);
    EXPECT_EQ(m.machine.Executions()[2].parameter64, 0x234567u);
    for (const auto& execution : m.machine.Executions()) {
        EXPECT_EQ(execution.parameter32, 0u);
        EXPECT_THAT(execution.parameterBytes, ElementsAre(0, 0, 0));
    }
    EXPECT_THAT(m.machine.Kills(), ElementsAre(0x40u));
}

TEST_F(InterpreterTest, WatchOrdersGoToTheHost)
{
    RunAll({
        {"100 watch", "add to watch"},
        {"start watch 4 100", "entry mainprog.main.start\r\nadd to watch"},
        {"_x start watch 20 0 Motor", "entry mainprog.main.start\r\nadd to watch"},
        {"100 watch -1 -5", "add to watch"},
        {"100 watch 1 2 Cap more", "Syntax error"},
        {"100 watch x", "Syntax error"},
        {"100 watch 1 y", "Syntax error"},
    });
    ASSERT_EQ(host.watches.size(), 4u);
    const WatchOrder& numeric = host.watches[0];
    EXPECT_EQ(numeric.caption, "");
    EXPECT_EQ(numeric.count, 1u);
    EXPECT_EQ(numeric.interval, 1000u);
    EXPECT_EQ(numeric.space, MemorySpace::Y);
    EXPECT_EQ(numeric.address, 0x100u);
    EXPECT_EQ(host.watches[1].caption, "mainprog.main.start");
    EXPECT_EQ(host.watches[1].space, MemorySpace::P);
    EXPECT_EQ(host.watches[1].count, 4u);
    EXPECT_EQ(host.watches[1].interval, 100u);
    EXPECT_EQ(host.watches[2].caption, "Motor");
    EXPECT_EQ(host.watches[2].space, MemorySpace::X);
    EXPECT_EQ(host.watches[2].count, 20u);
    EXPECT_EQ(host.watches[2].interval, 0u);
    EXPECT_EQ(host.watches[3].count, 0xFFFFFFFFu);
    EXPECT_EQ(host.watches[3].interval, 0xFFFFFFFBu);
}

TEST_F(InterpreterTest, WithoutAPortEveryDeviceCommandAnswersNoAnswer)
{
    m.link.ClosePort();
    RunAll({
        {"100", "No answer"},
        {"100 = 1", "No answer"},
        {"register 100 = 1", "No answer"},
        {"100 map", "map  _y 0x000100\r\nNo answer"},
        {"100 xeq", "No answer"},
        {"100 kill", "No answer"},
        {"start", "entry mainprog.main.start\r\nNo answer"},
        {"100 watch", "add to watch"},
        {"default _p", ""},
    });
    EXPECT_EQ(console.RunCommand("100").error, ConsoleError::NoAnswer);
}

TEST_F(InterpreterTest, AFailureHalfWayKeepsWhatWasDoneAndShowsWhatWasRead)
{
    // The second request of each command is lost.
    m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 2});
    EXPECT_EQ(Output("210 = 7"), "write _y 0x000210 = 0x000007 (7)\r\nNo answer");
    EXPECT_EQ(Word(MemorySpace::Y, 0x210), 7u);

    for (std::uint32_t i = 0; i < 16; ++i)
        SetWord(MemorySpace::Y, 0x300 + i, i);
    m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 2});
    EXPECT_EQ(Output("300 map 8"),
              "map  _y 0x000300\r\n"
              " 0x000000 0x000001 0x000002 0x000003\r\n"
              " 0x000004 0x000005 0x000006 0x000007\r\n"
              " 0x000008 0x000009 0x00000A 0x00000B\r\n"
              " 0x00000C 0x00000D 0x00000E 0x00000F\r\n"
              "No answer");
    // The next command wakes the machine again.
    EXPECT_EQ(Output("210"), "read  _y 0x000210 = 0x000007 (7)");
}

TEST_F(InterpreterTest, TheCommandBufferAndTheTokensHaveTheirSizes)
{
    // 256 characters are taken, the 257th is not.
    const std::string write = "register 400 =" + std::string(241, ' ');
    EXPECT_EQ(Output(write + "5"), "write _y 0x000400 = 0x000005 (5)");
    EXPECT_EQ(Output(write + " 5"), "Syntax error");
    // A token holds 255 characters: the 256th starts the next one.
    EXPECT_EQ(Output(std::string(254, '0') + "="), "read  _y 0x000000 = 0x000000 (0)");
    EXPECT_EQ(Output(std::string(255, '0') + "="), "Syntax error");
    // An end mark ends the command.
    EXPECT_EQ(Output(std::string_view("100\0 = 5", 8)), "read  _y 0x000100 = 0x001234 (4660)");
}

TEST_F(InterpreterTest, FileCommandsAreTheHostsAndIgnoreTheRestOfTheLine)
{
    EXPECT_EQ(Output("clear"), "");
    EXPECT_EQ(Output("clear all of it"), "");
    EXPECT_EQ(host.clears, 2);

    prompts.CancelFile();
    EXPECT_EQ(Output("load whatever"), "");
    prompts.AnswerFile(files.Put("two.tfs", SymbolFileBytes({{"alpha", "", "", 0x10, 0x100}, {"beta", "", "", 0x11, 0}})));
    EXPECT_EQ(Output("load"), "File loaded");
    EXPECT_EQ(Output("register alpha = 1"), "..alpha\r\nwrite _x 0x000010 = 0x000001 (1)");
    EXPECT_EQ(Output("start"), "Symbol not found");

    host.window = false;
    for (const char* command : {"clear", "load", "save now"}) {
        const CommandResult result = console.RunCommand(command);
        EXPECT_EQ(result.output, "") << command;
        EXPECT_EQ(result.error, ConsoleError::WindowOnly) << command;
    }
    EXPECT_EQ(host.clears, 2);
}

TEST_F(InterpreterTest, EnterRepeatsTheLastCommandOnAnEmptyLine)
{
    EXPECT_FALSE(console.Enter(""));
    EXPECT_FALSE(console.Enter(" \t\x01"));
    EXPECT_EQ(console.LastCommand(), "");

    ASSERT_TRUE(console.Enter("\t 100 \r\n"));
    EXPECT_EQ(console.LastCommand(), "100");
    SetWord(MemorySpace::Y, 0x100, 5);
    const auto again = console.Enter("   ");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->output, "read  _y 0x000100 = 0x000005 (5)");
    EXPECT_EQ(console.Enter("default _x")->output, "");
    EXPECT_EQ(console.Enter("")->output, "");
    EXPECT_EQ(console.LastCommand(), "default _x");
}

}  // namespace
