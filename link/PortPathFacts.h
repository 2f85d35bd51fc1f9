#pragma once

#include <optional>
#include <string>

// What the system says of a device path, gathered without opening it: the
// one platform file of the port diagnosis (POSIX, with a Windows branch).

// The program that holds a port, as its lock file names it.
struct PortLockHolder {
    long long pid = 0;
    std::string program;
};

// What the system says of a device path, gathered without opening it.
struct PortPathFacts {
    bool exists = false;           // its links followed
    bool characterDevice = false;
    bool noTerminal = false;       // a character device that is no terminal: /dev/null, /dev/zero
    bool directory = false;
    bool readWrite = false;        // this user may read and write it
    std::string group;             // the group that owns it
    std::optional<PortLockHolder> lockHolder;  // a live program holds its lock file
};

// The facts of `device` on this system (the path the system opens it by:
// SystemDevicePath).
PortPathFacts ExaminePortPath(const std::string& device);

