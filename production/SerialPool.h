#pragma once

#include "common/FlashMap.h"

#include <cstdint>
#include <optional>
#include <string>

// A pool of serial numbers: the texts PREFIX followed by a number of exactly
// `digits` digits, zero-padded, from `first` to `last`. Every text fits the
// machine's serial number field (8 characters), and a text one pool gives no
// other pool may give: a serial number is unique whatever pool it came from.
struct SerialPool {
    std::string name;    // letters, digits, '-', '_' and '.', at most 64
    std::string prefix;  // printable ASCII without blanks; may be empty
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    int digits = 0;
};

// The longest text the machine's serial number field holds.
inline constexpr int kSerialNumberLength = int(FlashMap::FactoryData::kSerialNumberSize) - 1;
inline constexpr std::size_t kPoolNameLength = 64;

// Why the pool cannot be made, as a user reads it ("--digits ..."), or nothing.
std::optional<std::string> PoolRefusal(const SerialPool& pool);

// The text of number `number` of the pool: "SN000042".
std::string SerialText(const SerialPool& pool, std::uint32_t number);

// The length of every text the pool gives.
inline std::size_t SerialLength(const SerialPool& pool)
{
    return pool.prefix.size() + std::size_t(pool.digits);
}

// Whether some text could come from both pools (both valid).
bool PoolsOverlap(const SerialPool& a, const SerialPool& b);
