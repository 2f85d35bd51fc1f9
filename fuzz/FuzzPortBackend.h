#pragma once

// A port whose answers a fuzzer chooses, for the tool's side of the line:
// whatever the tool reads comes from the fuzzer's bytes.

#include "link/PortBackend.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// The fuzzer's bytes, taken front to back; zeros once they are used up.
class FuzzBytes {
public:
    explicit FuzzBytes(std::span<const std::uint8_t> bytes) : bytes(bytes) {}

    bool Empty() const { return at == bytes.size(); }
    std::uint8_t Byte() { return Empty() ? 0 : bytes[at++]; }
    // Up to into.size() bytes; how many there were.
    std::size_t Take(std::span<std::uint8_t> into);

private:
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

// Two ways of answering:
//  - Raw: every read returns the fuzzer's next bytes, whatever was asked;
//    once they are used up, every read times out.
//  - Structured: a machine model answers, and before each answer reaches the
//    tool a fuzzer byte decides what happens to it: it passes as it is (half
//    of the values, so that an input gets deep into a procedure), its data
//    (after the echo of the request) is replaced by fuzzer bytes with the
//    checksum made right again, one of its bytes is changed, it is cut short,
//    or it is lost. Once the fuzzer's bytes are used up, answers pass as they are.
// Writes always succeed; nothing sleeps.
class FuzzPortBackend final : public PortBackend {
public:
    enum class Mode { Raw, Structured };

    // `machine` answers in structured mode; it and `input` must outlive the backend.
    FuzzPortBackend(Mode mode, FuzzBytes& input, MachineModel& machine);

    bool Open(const PortAddress& address, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return open; }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

private:
    std::size_t Change(std::span<std::uint8_t> answer);

    Mode mode;
    FuzzBytes& input;
    ModelPortBackend model;
    bool open = false;
};
