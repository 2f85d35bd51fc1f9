#pragma once

#include <optional>
#include <string>

// "com1" .. "com8" exactly (same letters, same case): the port number 1..8.
std::optional<int> PortNumber(const std::string& portName);

// The device port number N stands for when the settings name none: on
// Windows "COMn", elsewhere /dev/ttyS(N-1).
std::string DefaultPortDevice(int number);

// A port as the tool names it ("com1" .. "com8", or a device path given as it
// stands) and the device it stands for. The port selection and the command
// line resolve the name (ResolvePort) at every open; the link below opens the
// device and reads no settings.
struct PortAddress {
    std::string name;
    std::string device;

    // A device path given as it stands: it is its own name.
    static PortAddress OfDevice(const std::string& path) { return {path, path}; }
};
