#include "link/PortName.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

std::optional<int> PortNumber(const std::string& portName)
{
    if (portName.size() == 4 && portName.starts_with("com") && portName[3] >= '1' && portName[3] <= '8')
        return portName[3] - '0';
    return std::nullopt;
}

bool NearPortName(const std::string& name)
{
    if (PortNumber(name) || name.size() < 4)
        return false;
    const auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    if (lower(name[0]) != 'c' || lower(name[1]) != 'o' || lower(name[2]) != 'm')
        return false;
    const std::string number = name.substr(name.find_first_not_of(' ', 3));
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string WindowsDevicePath(const std::string& device)
{
    // "COM" in any case, then a number of two digits or more, no leading zero.
    const auto upper = [](char c) { return char(std::toupper(static_cast<unsigned char>(c))); };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool beyondNine = device.size() >= 5 && upper(device[0]) == 'C' && upper(device[1]) == 'O'
        && upper(device[2]) == 'M' && device[3] != '0' && std::all_of(device.begin() + 3, device.end(), digit);
    return beyondNine ? "\\\\.\\" + device : device;
}

std::string SystemDevicePath(const std::string& device)
{
#ifdef _WIN32
    return WindowsDevicePath(device);
#else
    // Qt opens a path that begins with none of "/", "./" and "../" in /dev.
    if (device.empty() || device.starts_with('/') || device.starts_with("./") || device.starts_with("../"))
        return device;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(device), error);
    return std::filesystem::exists(status) ? "./" + device : device;
#endif
}

std::string DefaultPortDevice(int number)
{
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}
