#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// What the system says of a file about to be replaced, and what the file
// that replaces it takes over from it. The one platform file of the file
// writes (POSIX, with a Windows branch beside it).
struct TargetFacts {
    bool exists = false;
    bool regular = false;           // a regular file (after symbolic links)
    std::uint64_t hardLinks = 1;
    std::uint32_t owner = 0;        // user and group, where the system has them
    std::uint32_t group = 0;
};

TargetFacts ExamineTarget(const QString& path);

// Applied to the open file descriptor of the new file: the write bit for
// others dropped; run as root, the old file's owner and group. The
// system's reason when it refuses, nothing when done.
std::optional<std::string> TakeOverOwnerAndMode(int descriptor, const TargetFacts& old);
