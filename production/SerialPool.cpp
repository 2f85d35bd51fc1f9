#include "production/SerialPool.h"

#include "common/TextFormat.h"

#include <algorithm>

namespace {

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
           || c == '.';
}

std::uint64_t PowerOfTen(int exponent)
{
    std::uint64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

}  // namespace

std::optional<std::string> PoolRefusal(const SerialPool& pool)
{
    if (pool.name.empty() || pool.name.size() > kPoolNameLength
        || !std::all_of(pool.name.begin(), pool.name.end(), IsNameCharacter))
        return "a pool's name is 1 to 64 letters, digits, '-', '_' or '.'";
    if (!std::all_of(pool.prefix.begin(), pool.prefix.end(), [](char c) { return c > ' ' && c < 0x7F; }))
        return "--prefix takes printable ASCII characters without blanks";
    if (pool.digits < 1 || pool.digits > kSerialNumberLength)
        return "--digits must be 1 to 8";
    if (SerialLength(pool) > std::size_t(kSerialNumberLength))
        return FormatText("--prefix '%s' and %d digits make %zu characters; a serial number holds %d",
                          pool.prefix.c_str(), pool.digits, SerialLength(pool), kSerialNumberLength);
    if (pool.first > pool.last)
        return "--first must not be above --last";
    if (pool.last >= PowerOfTen(pool.digits))
        return FormatText("--last %u has more than %d digits", unsigned(pool.last), pool.digits);
    return std::nullopt;
}

std::string SerialText(const SerialPool& pool, std::uint32_t number)
{
    return pool.prefix + FormatText("%0*u", pool.digits, unsigned(number));
}

bool PoolsOverlap(const SerialPool& a, const SerialPool& b)
{
    if (SerialLength(a) != SerialLength(b))
        return false;
    // The shorter prefix comes first: the longer one must begin with it and
    // go on in digits, which then stand for the high digits of its number.
    const SerialPool& shorter = a.prefix.size() <= b.prefix.size() ? a : b;
    const SerialPool& longer = &shorter == &a ? b : a;
    if (longer.prefix.compare(0, shorter.prefix.size(), shorter.prefix) != 0)
        return false;
    const std::string rest = longer.prefix.substr(shorter.prefix.size());
    if (!std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    // The numbers of `longer` as numbers of `shorter`: its rest, then its own digits.
    const std::uint64_t high = rest.empty() ? 0 : std::stoull(rest) * PowerOfTen(longer.digits);
    const std::uint64_t low = high + longer.first;
    const std::uint64_t top = high + longer.last;
    return low <= shorter.last && top >= shorter.first;
}
