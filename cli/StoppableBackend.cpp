#include "cli/StoppableBackend.h"

#include "cli/Signals.h"

#include <algorithm>

StoppableBackend::StoppableBackend(std::unique_ptr<PortBackend> inner) : inner(std::move(inner)) {}

bool StoppableBackend::Open(const std::string& device, const LineSettings& settings)
{
    return !StopSignals::Urgent() && inner->Open(device, settings);
}

std::string StoppableBackend::OpenError() const
{
    return inner->OpenError();
}

void StoppableBackend::Close()
{
    inner->Close();
}

bool StoppableBackend::IsOpen() const
{
    return inner->IsOpen();
}

bool StoppableBackend::Write(std::span<const std::uint8_t> bytes)
{
    return !StopSignals::Urgent() && inner->Write(bytes);
}

std::size_t StoppableBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::size_t got = 0;
    // The wait in slices of kPoll. A slice that ends early without the
    // bytes is the inner backend giving up (an error): so does this read.
    while (got < into.size() && !StopSignals::Urgent()) {
        const auto sliceStart = Clock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - sliceStart);
        const auto slice = std::clamp(left, std::chrono::milliseconds(0), kPoll);
        got += inner->Read(into.subspan(got), slice);
        if (left <= kPoll || (got < into.size() && Clock::now() - sliceStart < slice))
            break;
    }
    return got;
}

void StoppableBackend::PurgeReceive()
{
    inner->PurgeReceive();
}

bool StoppableBackend::SetBreak(bool on)
{
    return inner->SetBreak(on);
}

bool StoppableBackend::SetRts(bool on)
{
    return inner->SetRts(on);
}
