#pragma once

#include <cstdint>

// The two byte orders of the system: image files and the machine's flash words
// are little-endian (a flash word is 24 bits in 3 bytes, least significant
// first); the wire protocol is big-endian.
namespace ByteOrder {

constexpr std::uint32_t Le24(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16;
}

constexpr std::uint32_t Le32(const std::uint8_t* at)
{
    return Le24(at) | std::uint32_t(at[3]) << 24;
}

constexpr void PutLe24(std::uint8_t* at, std::uint32_t value)
{
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
    at[2] = std::uint8_t(value >> 16);
}

constexpr std::uint32_t Be32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 | at[3];
}

constexpr void PutBe32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
}

}  // namespace ByteOrder
