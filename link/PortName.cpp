#include "link/PortName.h"

#include "link/Settings.h"

std::optional<int> PortNumber(const std::string& portName)
{
    if (portName.size() == 4 && portName.starts_with("com") && portName[3] >= '1' && portName[3] <= '8')
        return portName[3] - '0';
    return std::nullopt;
}

std::string ResolvePortDevice(const std::string& portName)
{
    const auto number = PortNumber(portName);
    if (!number)
        return portName;
#ifdef _WIN32
    return "COM" + std::to_string(*number);
#else
    std::string device;
    try {
        if (ReadSetting("Ports/" + portName, device) && !device.empty())
            return device;
    } catch (const SettingsError&) {
        // A value that is not text names no device: fall back to the default.
    }
    return "/dev/ttyS" + std::to_string(*number - 1);
#endif
}

std::string PortDeviceHint(const std::string& portName)
{
    const std::string device = ResolvePortDevice(portName);
#ifdef _WIN32
    return portName + " is " + device;
#else
    std::string stored;
    try {
        ReadSetting("Ports/" + portName, stored);
    } catch (const SettingsError&) {
        stored.clear();
    }
    const std::string where = "Ports/" + portName + " in " + SettingsLocation();
    if (!stored.empty())
        return portName + " is " + device + " (set by " + where + ")";
    return portName + " is " + device + "; to use another device, set " + where;
#endif
}
