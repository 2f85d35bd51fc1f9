#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The console's command and token buffers hold this many characters: a longer
// command is cut after its 256th, a token holds at most 255.
constexpr std::size_t kCommandBufferSize = 256;

// Cuts the next token off the front of `command`: the blanks before it (space,
// tab, CR, LF) are dropped, then the characters up to the next blank, the end,
// or `limit` - 1 of them become `token`. Returns the token's length; 0, with
// `token` empty, when no token is left. A run of more non-blank characters
// than a token holds becomes several tokens.
std::size_t NextToken(std::string& token, std::string_view& command, std::size_t limit = kCommandBufferSize);

// A numeric target, read in hexadecimal: an optional "0x" or "0X", then
// hexadecimal digits up to the first character that is not one; the rest is
// ignored. Digits beyond 32 bits shift out at the top.
std::uint32_t ReadHexNumber(std::string_view token);

// A signed number: an optional "+" or "-", then "0x" or "0X" and hexadecimal
// digits, or a leading "0" and octal digits, or decimal digits, up to the
// first character that does not fit. A negative number is its two's
// complement in 32 bits ("-1" is 0xFFFFFFFF); digits beyond 32 bits shift out
// at the top. Nothing when no digit stands where one must.
std::optional<std::uint32_t> ReadSignedNumber(std::string_view token);
