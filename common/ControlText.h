#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/TextFormat.h"

// Texts from outside the tool (the machine's fields, a recording from the
// field, a settings file) may hold characters a terminal acts on instead of
// showing. They are shown escaped, "\x1B", wherever the tool prints them.

// C0 controls, DEL and C1 controls.
constexpr bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// A Latin-1 text (one byte a character) with its control characters
// written as \x1B; the rest as it stands.
inline std::string EscapedControls(std::string_view latin1)
{
    std::string shown;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte))
            shown += FormatText("\\x%02X", unsigned(byte));
        else
            shown += c;
    }
    return shown;
}

// Bytes meant as UTF-8 (a device path, a port name), as UTF-8 to print:
// control characters, C1 ones included, and every byte that is not part of
// a well-formed UTF-8 character written as \x1B.
inline std::string EscapedUtf8(std::string_view bytes)
{
    std::string shown;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool whole = length > 0 && at + length <= bytes.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            whole = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        // Overlong forms and surrogates are no well-formed character either.
        constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        whole = whole && c >= kLeast[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        if (!whole) {
            shown += FormatText("\\x%02X", unsigned(lead));
            ++at;
        } else if (IsControl(c)) {
            shown += FormatText("\\x%02X", unsigned(c));
            at += length;
        } else {
            shown.append(bytes.substr(at, length));
            at += length;
        }
    }
    return shown;
}

// Whether UTF-8 bytes hold a control character: C0, DEL, or a C1 one (its
// two bytes C2 80 .. C2 9F).
inline bool HoldsControls(std::string_view utf8)
{
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        const auto next = at + 1 < utf8.size() ? static_cast<unsigned char>(utf8[at + 1]) : 0u;
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next < 0xA0))
            return true;
    }
    return false;
}
