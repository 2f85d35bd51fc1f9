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

}  // namespace
