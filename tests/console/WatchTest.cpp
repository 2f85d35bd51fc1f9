// What a watch decides: the values each mode tracks, and the light.
#include "support/ModelFixture.h"
#include "console/Watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
