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
