#pragma once

#include <cstdint>
#include <vector>

// Bytes at a flash address: what a download writes there, or what a read
// back expects to find.
struct FlashSegment {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};
