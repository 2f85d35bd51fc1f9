#include "app/StatusLine.h"

std::string LinkStatusText(LinkState state, const std::string& portName)
{
    switch (state) {
    case LinkState::Closed: return "No port selected";
    case LinkState::NotAvailable: return portName + " : Not available";
    // " : Ko", the mirror of " : Ok", is kept on purpose: technicians and their scripts know it.
    case LinkState::NoAnswer: return portName + " : Ko";
    case LinkState::Ready: return portName + " : Ok";
    }
    return {};
}

std::string LinkStatusHint(LinkState state, const std::string& portName, const std::string& device,
                           const std::string& failure)
{
    const std::string port = portName + " (" + device + ")";
    switch (state) {
    case LinkState::Closed: return "No port is open: choose the machine's port in File > Serial port configuration";
    case LinkState::NotAvailable: return failure.empty() ? port + ": could not be opened" : failure;
    case LinkState::NoAnswer:
        return port + " is open, but the machine does not answer: check that it is switched on and its cable, "
                      "and that \"Force programming mode\" was not held when it was powered up";
    case LinkState::Ready: return port + ": the machine answers";
    }
    return {};
}
