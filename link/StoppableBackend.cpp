#include "link/StoppableBackend.h"

#include <algorithm>

StoppableBackend::StoppableBackend(std::unique_ptr<PortBackend> inner, std::function<bool()> stopNow)
    : ForwardingBackend(std::move(inner)), stopNow(std::move(stopNow))
{
}

bool StoppableBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    return !stopNow() && Inner().Open(address, settings);
}

bool StoppableBackend::Write(std::span<const std::uint8_t> bytes)
{
    return !stopNow() && Inner().Write(bytes);
}

std::size_t StoppableBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::size_t got = 0;
    // The wait in slices of kPoll. A slice that ends early without the
    // bytes is the inner backend giving up (an error): so does this read.
    while (got < into.size() && !stopNow()) {
        const auto sliceStart = Clock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - sliceStart);
        const auto slice = std::clamp(left, std::chrono::milliseconds(0), kPoll);
        got += Inner().Read(into.subspan(got), slice);
        if (left <= kPoll || (got < into.size() && Clock::now() - sliceStart < slice))
            break;
    }
    return got;
}
