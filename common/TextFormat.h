#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

// printf into a std::string, of any length. The texts the tool shows are built
// with the printf formats of the behaviour ("%08lX", "0x%02X" ...), so one
// helper builds them all.
#if defined(__GNUC__)
inline std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

inline std::string FormatText(const char* format, ...)
{
    char buffer[256];
    std::va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0)
        return {};
    if (std::size_t(length) < sizeof buffer)
        return std::string(buffer, std::size_t(length));
    std::string text(std::size_t(length), '\0');
    va_start(arguments, format);
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    return text;
}
