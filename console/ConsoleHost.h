#pragma once

#include "link/DeviceLink.h"

#include <cstdint>
#include <optional>
#include <string>

// What a "watch" command asks for: a watch window on `count` words from
// `address` in `space`, read every `interval` milliseconds.
struct WatchOrder {
    std::string caption;            // the symbol's qualified name or the caption word; empty: "Watch"
    std::uint32_t count = 1;        // as given: the window cuts it to 16
    std::uint32_t interval = 1000;  // 0: the window never reads
    MemorySpace space = MemorySpace::Y;
    std::uint32_t address = 0;
};

// What the console's commands ask of the window they run in: the console
// window carries them out on its text and its dialogs; tests script them; the
// command line, which keeps no text, refuses the three file commands.
class ConsoleHost {
public:
    virtual ~ConsoleHost() = default;

    // "clear", "load" and "save": the command's output (possibly empty), or
    // nothing when this host has no window to do it in.
    virtual std::optional<std::string> Clear() = 0;
    virtual std::optional<std::string> Load() = 0;
    virtual std::optional<std::string> Save() = 0;

    // "watch": opens a watch window owned by the console and brings the
    // console back to the front.
    virtual void OpenWatch(const WatchOrder& order) = 0;
};
