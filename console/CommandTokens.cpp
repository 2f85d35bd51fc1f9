#include "console/CommandTokens.h"

#include <algorithm>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of a digit in `base`, or -1.
int DigitValue(char c, unsigned base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value >= 0 && unsigned(value) < base ? value : -1;
}

// "0x" or "0X" followed by a hexadecimal digit: only then is it a prefix,
// so that "0xg" reads as the number 0 followed by the rest.
bool HexPrefix(std::string_view text)
{
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && DigitValue(text[2], 16) >= 0;
}

// The digits of `base` at the start of `text`, modulo 2^32; the count read.
std::size_t ReadDigits(std::string_view text, unsigned base, std::uint32_t& value)
{
    std::size_t count = 0;
    value = 0;
    for (int digit; count < text.size() && (digit = DigitValue(text[count], base)) >= 0; ++count)
        value = value * base + std::uint32_t(digit);
    return count;
}

}  // namespace

std::size_t NextToken(std::string& token, std::string_view& command, std::size_t limit)
{
    const auto start = std::find_if_not(command.begin(), command.end(), IsBlank);
    command.remove_prefix(std::size_t(start - command.begin()));
    const std::size_t room = limit > 0 ? limit - 1 : 0;
    const std::size_t length =
        std::min<std::size_t>(std::size_t(std::find_if(command.begin(), command.end(), IsBlank) - command.begin()), room);
    token.assign(command.substr(0, length));
    command.remove_prefix(length);
    return length;
}

std::uint32_t ReadHexNumber(std::string_view token)
{
    if (HexPrefix(token))
        token.remove_prefix(2);
    std::uint32_t value = 0;
    ReadDigits(token, 16, value);
    return value;
}

std::optional<std::uint32_t> ReadSignedNumber(std::string_view token)
{
    bool negative = false;
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
        negative = token[0] == '-';
        token.remove_prefix(1);
    }
    unsigned base = 10;
    if (HexPrefix(token)) {
        base = 16;
        token.remove_prefix(2);
    } else if (!token.empty() && token[0] == '0') {
        base = 8;
    }
    std::uint32_t value = 0;
    if (ReadDigits(token, base, value) == 0)
        return std::nullopt;
    return negative ? ~value + 1 : value;
}
