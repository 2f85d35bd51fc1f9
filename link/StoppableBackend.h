#pragma once

#include "link/ForwardingBackend.h"

#include <chrono>
#include <functional>
#include <memory>

// A PortBackend that passes everything to another one until it is told to
// stop at once (mirelle-cli's second Ctrl-C): then an open or a write is
// refused, and a read that waits ends within kPoll, so that the job reaches
// its end at its next exchange. Closing always goes through.
class StoppableBackend final : public ForwardingBackend {
public:
    static constexpr std::chrono::milliseconds kPoll{20};

    // `stopNow` is asked before each call and every kPoll of a read.
    StoppableBackend(std::unique_ptr<PortBackend> inner, std::function<bool()> stopNow);

    bool Open(const PortAddress& address, const LineSettings& settings) override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;

private:
    std::function<bool()> stopNow;
};
