#include "app/StatusLine.h"

std::string LinkStatusText(LinkState state, const std::string& portName)
{
    switch (state) {
    case LinkState::Closed: return "No port selected";
    case LinkState::NotAvailable: return portName + " : Not available";
    case LinkState::NoAnswer: return portName + " : Ko";
    case LinkState::Ready: return portName + " : Ok";
    }
    return {};
}
