#include "link/PortName.h"

std::optional<int> PortNumber(const std::string& portName)
{
    if (portName.size() == 4 && portName.starts_with("com") && portName[3] >= '1' && portName[3] <= '8')
        return portName[3] - '0';
    return std::nullopt;
}

std::string DefaultPortDevice(int number)
{
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}
