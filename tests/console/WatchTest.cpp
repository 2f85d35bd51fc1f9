// What a watch decides: the values each mode tracks, and the light.
#include "support/ModelFixture.h"
#include "console/Watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>

using namespace std::chrono_literals;
using testing::ElementsAre;

namespace {

TEST(Watch, EachModeTracksItsValueFromTheReset)
{
    struct Case {
        WatchMode mode;
        std::uint32_t value;
        const char* text;
    };
    // The word reads 5, then 0xFFFFFF (-1 in 24 bits), then 3.
    for (const Case& c : {Case{WatchMode::Normal, 3, "0x000003 (3)"},
                          Case{WatchMode::UnsignedMaximum, 0xFFFFFF, "0xFFFFFF (16777215)"},
                          Case{WatchMode::SignedMaximum, 5, "0x000005 (5)"},
                          Case{WatchMode::UnsignedMinimum, 3, "0x000003 (3)"},
                          Case{WatchMode::SignedMinimum, 0xFFFFFFFF, "0xFFFFFF (-1)"}}) {
        SCOPED_TRACE(int(c.mode));
        ModelLink m;
        m.machine.SetMemoryWord(1, 0x30, 0x000010);
        Watch watch({.caption = "", .count = 2, .interval = 10, .space = MemorySpace::Y, .address = 0x2F});
        watch.ChooseMode(c.mode);
        for (const std::uint32_t word : {5u, 0xFFFFFFu, 3u}) {
            m.machine.SetMemoryWord(1, 0x2F, word);
            watch.Read(m.link);
        }
        EXPECT_THAT(watch.Values(), ElementsAre(c.value, 0x10u));
        EXPECT_EQ(watch.ValueText(), std::string(c.text) + "\n0x000010 (16)");
        EXPECT_EQ(watch.Light(), c.mode == WatchMode::Normal ? WatchLight::Lime : WatchLight::Aqua);
    }
}

TEST(Watch, AFailedReadKeepsTheValues)
{
    ModelLink m;
    m.machine.SetMemoryWord(0, 0x100, 0x42);
    Watch watch({.caption = "", .count = 1, .interval = 10, .space = MemorySpace::X, .address = 0x100});
    watch.ChooseMode(WatchMode::UnsignedMaximum);
    watch.Read(m.link);
    m.link.ClosePort();
    watch.Read(m.link);
    EXPECT_EQ(watch.Light(), WatchLight::Red);
    EXPECT_THAT(watch.Values(), ElementsAre(0x42u));
    EXPECT_EQ(watch.ValueText(), "0x000042 (66)");
}

// A download or a boot stream owns the link: a tick then sends nothing, not
// even a wake-up, and the square and the values stay as they were.
TEST(Watch, AReadWhileAProcedureOwnsTheLinkSendsNothing)
{
    ModelLink m;
    m.machine.SetMemoryWord(0, 0x100, 7);
    Watch watch({.caption = "", .count = 1, .interval = 10, .space = MemorySpace::X, .address = 0x100});
    watch.Read(m.link);
    m.machine.PowerOff();
    watch.Read(m.link);  // red, and the link wants a wake-up
    ASSERT_EQ(watch.Light(), WatchLight::Red);
    m.machine.PowerOn();
    m.machine.SetMemoryWord(0, 0x100, 8);
    const auto wakes = m.machine.WakeCount();
    const auto requests = m.machine.RequestCount();
    {
        const LinkOwner download(m.link);
        watch.Read(m.link);
        EXPECT_EQ(m.machine.WakeCount(), wakes);
        EXPECT_EQ(m.machine.RequestCount(), requests);
        EXPECT_EQ(watch.Light(), WatchLight::Red);
        EXPECT_EQ(watch.ValueText(), "0x000007 (7)");
    }
    watch.Read(m.link);  // the procedure has ended
    EXPECT_EQ(watch.Light(), WatchLight::Lime);
    EXPECT_EQ(watch.ValueText(), "0x000008 (8)");
}

// "Program loader" leaves the machine's resident loader waiting for a boot
// stream, in which anything a watch sent would land: a tick sends nothing,
// 59 s later too, and the stream reaches the loader whole; the watch reads
// again from the first of the four ends on.
TEST(Watch, ReadsAreHeldFromProgramLoaderUntilTheFirstEnd)
{
    struct Case {
        const char* end;
        std::function<void(ModelLink&, std::chrono::nanoseconds& now)> happen;
    };
    for (const Case& c :
         {Case{"the boot dialog closed", [](ModelLink& m, auto&) { m.link.EndLoaderWait(); }},
          Case{"another job used the link",
               [](ModelLink& m, auto&) {
                   std::uint32_t hardIdent = 0, flashIdent = 0;
                   m.link.ReadIdentity(hardIdent, flashIdent);
               }},
          Case{"the port changed",
               [](ModelLink& m, auto&) { m.link.OpenPort(PortAddress::OfDevice("/dev/mirelle-model")); }},
          Case{"60 s passed", [](ModelLink&, std::chrono::nanoseconds& now) { now += 1s; }}}) {
        SCOPED_TRACE(c.end);
        ModelLink m;
        std::chrono::nanoseconds now{};
        m.link.UseClock([&now] { return now; });
        m.machine.SetMemoryWord(0, 0x100, 7);
        Watch watch({.caption = "", .count = 1, .interval = 10, .space = MemorySpace::X, .address = 0x100});
        ASSERT_TRUE(m.link.PowerControl(Command::kToResidentLoader));
        now += 59s;
        watch.Read(m.link);
        const std::array<std::uint8_t, 6> emptyProgram{0, 0, 0, 0x40, 0, 0};  // no words, run address 0x40
        ASSERT_TRUE(m.link.RawWrite(emptyProgram));
        ASSERT_EQ(m.machine.Boots().size(), 1u);
        EXPECT_EQ(m.machine.Boots()[0].runAddress, 0x40u);
        EXPECT_EQ(m.machine.Boots()[0].wordCount, 0u);
        const auto requests = m.machine.RequestCount();
        watch.Read(m.link);  // the stream itself ends nothing
        EXPECT_EQ(m.machine.RequestCount(), requests);
        EXPECT_EQ(watch.ValueText(), "");

        c.happen(m, now);
        watch.Read(m.link);
        EXPECT_EQ(watch.ValueText(), "0x000007 (7)");
    }
}

// The programming-mode line brings the machine up in its resident loader:
// while it is on a watch sends nothing, and the requests of the downloads it
// is there for go out as ever.
TEST(Watch, TheProgrammingModeLineHoldsOnlyWatchReads)
{
    ModelLink m;
    m.machine.SetMemoryWord(0, 0x100, 7);
    Watch watch({.caption = "", .count = 1, .interval = 10, .space = MemorySpace::X, .address = 0x100});
    ASSERT_TRUE(m.link.SetRts(true));
    const auto requests = m.machine.RequestCount();
    watch.Read(m.link);
    EXPECT_EQ(m.machine.RequestCount(), requests);
    std::uint8_t status = 0xFF;
    EXPECT_TRUE(m.link.ReadFlashStatus(status));
    watch.Read(m.link);
    EXPECT_EQ(m.machine.RequestCount(), requests + 1);
    EXPECT_EQ(watch.ValueText(), "");

    ASSERT_TRUE(m.link.SetRts(false));
    watch.Read(m.link);
    EXPECT_EQ(watch.ValueText(), "0x000007 (7)");
}

}  // namespace
