#pragma once

#include "link/DeviceLink.h"

#include <string>

// The main window's status line for a link state: "No port selected", or the
// port name followed by " : Not available", " : Ko" or " : Ok".
std::string LinkStatusText(LinkState state, const std::string& portName);

// The status line's tool tip: what the state means for the port's device and
// what to do about it. `failure` is why the port did not open (NotAvailable).
std::string LinkStatusHint(LinkState state, const std::string& portName, const std::string& device,
                           const std::string& failure);
