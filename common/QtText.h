#pragma once

#include <QString>

#include <string>
#include <string_view>

// Bytes from the machine and from files as Qt text: one Latin-1 character
// each. The one conversion the windows and the JSON reports use.
inline QString QStringFromLatin1(std::string_view latin1)
{
    return QString::fromLatin1(latin1.data(), qsizetype(latin1.size()));
}
