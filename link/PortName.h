#pragma once

#include <optional>
#include <string>

// "com1" .. "com8" exactly (same letters, same case): the port number 1..8.
std::optional<int> PortNumber(const std::string& portName);

// "com" in any case and a number, that is no port name all the same ("com9",
// "COM1", "Com 2"): what a technician used to COM ports types.
bool NearPortName(const std::string& name);

// The device port number N stands for when the settings name none: on
// Windows "COMn", elsewhere /dev/ttyS(N-1).
std::string DefaultPortDevice(int number);

// The name Windows opens a device by: "COM10" and beyond (any case) as
// "\\.\COM10", since only COM1 to COM9 are known without the prefix; any
// other name as it stands. Pure text, the same on every system.
std::string WindowsDevicePath(const std::string& device);

// The path the system opens `device` by: WindowsDevicePath on Windows.
// Elsewhere the device as it stands, but for a relative path that names
// something in the working folder: Qt would look for "cl.lnk" in /dev, so it
// is given as "./cl.lnk". A name that names nothing there ("ttyUSB0") stands
// as it is, for Qt to open in /dev.
std::string SystemDevicePath(const std::string& device);

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
