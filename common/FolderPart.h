#pragma once

#include <string>

// The folder part of a path, with its trailing separator ("/data/a.tbu" gives
// "/data/"); empty when the path names no folder. A file dialog that starts in
// the folder of the file chosen last starts here.
inline std::string FolderPart(const std::string& path)
{
#ifdef _WIN32
    const auto separator = path.find_last_of("\\/:");
#else
    const auto separator = path.find_last_of('/');
#endif
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}
