#pragma once

#include <optional>
#include <string>

// "com1" .. "com8" exactly (same letters, same case): the port number 1..8.
std::optional<int> PortNumber(const std::string& portName);

// The device a port name stands for: on Windows "COMn"; elsewhere the stored
// value "Ports/comN" when present, else /dev/ttyS(N-1). Any other name is taken
// as a device path as it stands.
std::string ResolvePortDevice(const std::string& portName);

// What the port dialog tells of a port name: the device it stands for, and
// on Linux where to point it elsewhere ("com3 is /dev/ttyS2; to use another
// device, set Ports/com3 in ~/.config/Orvane/Quorvex.conf").
std::string PortDeviceHint(const std::string& portName);
