#pragma once

#include "link/ForwardingBackend.h"

#include <chrono>
#include <memory>

// A PortBackend that passes everything to another one until mirelle-cli is
// told to stop at once (StopSignals::Urgent): then an open or a write is
// refused, and a read that waits ends within kPoll, so that the command
// reaches its end at its next exchange. Closing always goes through.
class StoppableBackend final : public ForwardingBackend {
public:
    static constexpr std::chrono::milliseconds kPoll{20};

    explicit StoppableBackend(std::unique_ptr<PortBackend> inner);

    bool Open(const std::string& device, const LineSettings& settings) override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
};
