#include "link/PortSelection.h"

#include "link/DeviceLink.h"
#include "link/SerialPortList.h"
#include "link/Settings.h"

PortSelection::PortSelection(DeviceLink& link, std::string& portName) : link(link), portName(portName) {}

std::string PortSelection::LoadPortSetting()
{
    portName.clear();
    try {
        ReadSetting(SettingName::kComPort, portName);
    } catch (const SettingsError& error) {
        portName.clear();
        return error.what();
    }
    return {};
}

std::optional<int> PortSelection::ApplyPort()
{
    const auto number = PortNumber(portName);
    if (!number) {
        link.ClosePort();
        return std::nullopt;
    }
    link.OpenPort(ResolvePort(portName));
    return number;
}

void PortSelection::SavePortSetting()
{
    WriteSetting(SettingName::kComPort, portName);
}

std::optional<int> PortSelection::Pick(std::optional<int> item)
{
    portName = item && *item >= 1 && *item <= kPortCount ? PortNameOfItem(*item) : std::string();
    const auto selected = ApplyPort();
    SavePortSetting();
    return selected;
}

std::optional<int> PortSelection::ChooseDevice(int item, const std::string& device)
{
    const std::string name = PortNameOfItem(item);
    StorePortDevice(name, device);
    if (name == portName)
        return ApplyPort();
    return PortNumber(portName);
}

void StorePortDevice(const std::string& portName, const std::string& device)
{
    // The stable name survives re-plugging and other adapters.
    const std::string stable = StableNameOf(device);
    WriteSetting(SettingName::PortDevice(portName), stable.empty() ? device : stable);
}

PortChoice ChoosePort(const std::optional<std::string>& given, const char* environment)
{
    if (given)
        return {*given, {}};
    if (environment && *environment)
        return {environment, {}};
    PortChoice choice;
    try {
        ReadSetting(SettingName::kComPort, choice.name);
    } catch (const SettingsError& error) {
        choice.name.clear();
        choice.problem = error.what();
    }
    return choice;
}

std::vector<std::string> PortNamesFor(const std::string& device)
{
    std::vector<std::string> names;
    const std::string resolved = ResolvedDevice(device);
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        const PortAddress address = ResolvePort(PortNameOfItem(item));
        if (ResolvedDevice(address.device) == resolved)
            names.push_back(address.name);
    }
    return names;
}

std::string PortNameOfItem(int item)
{
    return "com" + std::to_string(item);
}

std::string ResolvePortDevice(const std::string& portName)
{
    const auto number = PortNumber(portName);
    if (!number)
        return portName;
#ifndef _WIN32
    std::string device;
    try {
        if (ReadSetting(SettingName::PortDevice(portName), device) && !device.empty())
            return device;
    } catch (const SettingsError&) {
        // A value that is not text names no device: fall back to the default.
    }
#endif
    return DefaultPortDevice(*number);
}

PortAddress ResolvePort(const std::string& portName)
{
    return {.name = portName, .device = ResolvePortDevice(portName)};
}

std::string PortDeviceHint(const std::string& portName)
{
    const std::string device = ResolvePortDevice(portName);
#ifdef _WIN32
    return portName + " is " + device;
#else
    std::string stored;
    try {
        ReadSetting(SettingName::PortDevice(portName), stored);
    } catch (const SettingsError&) {
        stored.clear();
    }
    const std::string where = SettingName::PortDevice(portName) + " in " + SettingsLocation();
    if (!stored.empty())
        return portName + " is " + device + " (set by " + where + ")";
    return portName + " is " + device + "; to use another device, set " + where;
#endif
}

std::string PortItemHint(const std::string& portName, const std::string& failure)
{
    const std::string device = ResolvePortDevice(portName);
    std::string hint = portName + " is " + device;
    const std::string resolved = ResolvedDevice(device);
    if (resolved != device)
        hint += " (" + resolved + ")";
    hint += DevicePresent(device) ? ", present now" : ", not present now";
    if (!failure.empty())
        hint += "\n" + failure;
    return hint + "\nIts context menu chooses another device (Serial port devices).";
}
