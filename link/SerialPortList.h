#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The serial ports present on this computer, as a technician picks one: the
// device, the stable name the system gives a USB adapter, and what the
// adapter says of itself.
struct SerialPortEntry {
    std::string device;        // "/dev/ttyUSB0", "COM3"
    std::string stableName;    // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", or empty
    std::string description;   // "FT232R USB UART"
    std::string manufacturer;  // "FTDI"
    std::string serialNumber;  // "A50285BI"
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
};

// Where the system keeps the stable names of USB serial devices: links that
// survive re-plugging and another adapter being plugged first.
#ifdef _WIN32
inline constexpr const char* kStableNameFolder = "";
#else
inline constexpr const char* kStableNameFolder = "/dev/serial/by-id";
#endif

// The ports present, in the order the system lists them, each with its
// stable name from `stableFolder` where one links to it.
std::vector<SerialPortEntry> ListSerialPorts(const std::string& stableFolder = kStableNameFolder);

// The name in `stableFolder` that links to `device`, or empty.
std::string StableNameOf(const std::string& device, const std::string& stableFolder = kStableNameFolder);

// The device a path finally names, its links followed; the path as it
// stands when it names nothing.
std::string ResolvedDevice(const std::string& path);

// True when the path (its links followed) names something now.
bool DevicePresent(const std::string& path);

// How a port reads in a list: "ttyUSB0 — FT232R USB UART (FTDI, A50285BI)".
std::string PortEntryLabel(const SerialPortEntry& entry);

// "0403:6001", or empty when the port has no USB identity.
std::string UsbIdText(const SerialPortEntry& entry);
