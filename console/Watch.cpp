#include "console/Watch.h"

#include "common/TextFormat.h"
#include "console/SpaceLetter.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kWordMask = 0xFFFFFF;
constexpr std::uint32_t kSignBit = 0x800000;

std::uint32_t StartValue(WatchMode mode)
{
    switch (mode) {
    case WatchMode::SignedMaximum: return 0x80000000;    // any word is above it
    case WatchMode::UnsignedMinimum: return 0xFFFFFFFF;  // any word is below it
    case WatchMode::SignedMinimum: return 0x7FFFFFFF;
    default: return 0;
    }
}

bool IsSigned(WatchMode mode)
{
    return mode == WatchMode::SignedMaximum || mode == WatchMode::SignedMinimum;
}

// Whether `word` takes the place of `value` in `mode`.
bool Replaces(WatchMode mode, std::uint32_t word, std::uint32_t value)
{
    switch (mode) {
    case WatchMode::Normal: return true;
    case WatchMode::UnsignedMaximum: return word > value;
    case WatchMode::SignedMaximum: return std::int32_t(word) > std::int32_t(value);
    case WatchMode::UnsignedMinimum: return word < value;
    case WatchMode::SignedMinimum: return std::int32_t(word) < std::int32_t(value);
    }
    return false;
}

}  // namespace

Watch::Watch(const WatchOrder& order)
    : address(order.address), space(order.space), count(std::min<std::uint32_t>(order.count, kMaxWords)),
      interval(order.interval)
{
}

std::string Watch::AddressText() const
{
    return FormatText("_%c 0x%06X (%u ms)", SpaceLetter(space), address, interval);
}

void Watch::Read(DeviceLink& link)
{
    if (link.WatchReadsHeld())
        return;  // a wake-up or a request now would go into a procedure's or the resident loader's stream
    std::array<std::uint32_t, kMaxWords> words{};
    if (!link.ReadMemory(address, space, count, words.data())) {
        light = WatchLight::Red;
        return;
    }
    light = mode == WatchMode::Normal ? WatchLight::Lime : WatchLight::Aqua;
    valueText.clear();
    for (unsigned i = 0; i < count; ++i) {
        std::uint32_t word = words[i];
        if (IsSigned(mode) && (word & kSignBit))
            word |= ~kWordMask;  // bit 23 extended to the top
        if (Replaces(mode, word, values[i]))
            values[i] = word;
        if (i > 0)
            valueText += '\n';
        valueText += WatchValueText(values[i]);
    }
}

void Watch::Reset()
{
    std::fill(values.begin(), values.end(), StartValue(mode));
    valueText.clear();
    if (timerEnabled)
        light = WatchLight::Yellow;
}

void Watch::ChooseMode(WatchMode chosen)
{
    mode = chosen;
    Reset();
}

void Watch::ToggleTimer()
{
    timerEnabled = !timerEnabled;
    light = timerEnabled ? WatchLight::Yellow : WatchLight::Black;
}

std::string WatchValueText(std::uint32_t value)
{
    return FormatText("0x%06X (%i)", value & kWordMask, int(std::int32_t(value)));
}
