#pragma once

#include "link/PortName.h"

#include <optional>
#include <string>
#include <vector>

class DeviceLink;

// The port steps of the port dialog, without the dialog: the stored choice
// read at start-up, the port opened or the link closed for a name, the choice
// stored, and a user's pick of one of the eight items.
class PortSelection {
public:
    static constexpr int kPortCount = 8;

    PortSelection(DeviceLink& link, std::string& portName);

    // "ComPort" becomes the port name; missing, the name is empty. A value
    // that is not text leaves the name empty too, and its message ("Invalid
    // data type for 'ComPort'") is returned for the caller to show; otherwise
    // the result is empty.
    std::string LoadPortSetting();
    // For exactly "com1" .. "com8" opens that port, resolved afresh
    // (ResolvePort), so the link is then Ready or NotAvailable, and returns
    // the item to select, 1 .. 8; for any other name closes the link and
    // returns none.
    std::optional<int> ApplyPort();
    // Stores the port name as "ComPort", also when it is empty. Throws
    // SettingsError when the store refuses.
    void SavePortSetting();
    // The user picked item 1 .. 8, or none: the name follows, the port is
    // applied, the choice stored whether or not the port opened. The item
    // to select.
    std::optional<int> Pick(std::optional<int> item);
    // The technician chose `device` for item 1 .. 8: it is stored as
    // Ports/comN (the stable name of a USB device where the system has one,
    // so that the choice survives re-plugging), and when that name is the
    // selected port it is opened at once, as a pick opens it. Throws
    // SettingsError when the store refuses. The item to select.
    std::optional<int> ChooseDevice(int item, const std::string& device);
    // The name of the selected port ("com1" .. "com8"), or empty.
    const std::string& SelectedName() const { return portName; }

private:
    DeviceLink& link;
    std::string& portName;
};

// Stores `device` as the device the port name stands for ("Ports/comN"), by
// its stable name in /dev/serial/by-id where it has one, so that the choice
// survives re-plugging: the port dialog's devices and the command line's
// set-port. Throws SettingsError when the store refuses.
void StorePortDevice(const std::string& portName, const std::string& device);

// The port a program without a port dialog uses (the command line): the
// name it was given, else the environment's (MIRELLE_PORT), else the stored
// "ComPort". `problem` says why the stored one could not be read ("Invalid
// data type for 'ComPort'"); `name` is empty when none is chosen.
struct PortChoice {
    std::string name;
    std::string problem;
};
PortChoice ChoosePort(const std::optional<std::string>& given, const char* environment);

// The names com1 .. com8 that stand for `device` now (its links followed).
std::vector<std::string> PortNamesFor(const std::string& device);

// "comN" for item N.
std::string PortNameOfItem(int item);

// The device a port name stands for: on Windows "COMn"; elsewhere the stored
// value "Ports/comN" when present, else /dev/ttyS(N-1). Any other name is taken
// as a device path as it stands. Read at every call: a changed value takes
// effect at the next open.
std::string ResolvePortDevice(const std::string& portName);
// The name with the device it stands for, as DeviceLink::OpenPort takes them.
PortAddress ResolvePort(const std::string& portName);

// What the port dialog tells of a port name: the device it stands for, and
// on Linux where to point it elsewhere ("com3 is /dev/ttyS2; to use another
// device, set Ports/com3 in ~/.config/Orvane/Quorvex.conf").
std::string PortDeviceHint(const std::string& portName);

// What a port item tells of its name: the device it stands for and whether
// it is present now, why it failed to open when `failure` says so, and that
// its context menu chooses another device.
std::string PortItemHint(const std::string& portName, const std::string& failure = {});
