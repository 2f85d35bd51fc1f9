#pragma once

#include "link/DeviceLink.h"

#include <string>

// The main window's status line for a link state: "No port selected", or the
// port name followed by " : Not available", " : Ko" or " : Ok".
std::string LinkStatusText(LinkState state, const std::string& portName);
