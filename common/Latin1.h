#pragma once

#include <string>
#include <string_view>

// The machine's texts and the files' are bytes, one Latin-1 character each;
// a person reads UTF-8. The one conversion between them.
inline std::string Utf8FromLatin1(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += char(0xC0 | (byte >> 6));
            utf8 += char(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}
