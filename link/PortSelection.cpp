#include "link/PortSelection.h"

#include "link/DeviceLink.h"
#include "link/PortName.h"
#include "link/Settings.h"

namespace {

constexpr const char* kPortSetting = "ComPort";

}  // namespace

PortSelection::PortSelection(DeviceLink& link, std::string& portName) : link(link), portName(portName) {}

std::string PortSelection::LoadPortSetting()
{
    portName.clear();
    try {
        ReadSetting(kPortSetting, portName);
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
    link.OpenPort(portName);
    return number;
}

void PortSelection::SavePortSetting()
{
    WriteSetting(kPortSetting, portName);
}

std::optional<int> PortSelection::Pick(std::optional<int> item)
{
    portName = item && *item >= 1 && *item <= kPortCount ? PortNameOfItem(*item) : std::string();
    const auto selected = ApplyPort();
    SavePortSetting();
    return selected;
}

std::string PortNameOfItem(int item)
{
    return "com" + std::to_string(item);
}
