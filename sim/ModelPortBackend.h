#pragma once

#include "link/PortBackend.h"
#include "sim/MachineModel.h"

// Connects a SerialPort (and so a DeviceLink) to a MachineModel in the same
// process:
//
//     MachineModel machine;
//     DeviceLink link(std::make_unique<ModelPortBackend>(machine));
//     link.OpenPort(PortAddress::OfDevice("/dev/mirelle-model"));
//
// Nothing sleeps. Time is the model's: a write moves it on by the wire time of
// the bytes written (38400 baud, 11 bits a byte), and a read that is not
// satisfied at once moves it on to the arrival of the bytes it waits for, or by
// its whole time-out when they do not come in time. So a busy erase ends after
// enough status polls, and a late reply is late as on a real line. The model
// must outlive the backend.
class ModelPortBackend final : public PortBackend {
public:
    explicit ModelPortBackend(MachineModel& machine);

    // Any device name but the empty one opens, unless the port was made
    // unavailable. Line settings other than the machine's (38400 baud, odd
    // parity, one stop bit) open too, but garble the line: nothing gets through
    // in either direction.
    bool Open(const PortAddress& address, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return open; }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    std::size_t Pending() override { return open ? machine.ArrivedOutput() : 0; }
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

    // Makes later opens fail, as a port that is missing or in use.
    void SetAvailable(bool available) { this->available = available; }
    const std::string& Device() const { return device; }

private:
    MachineModel& machine;
    bool open = false;
    bool available = true;
    bool lineMatches = true;
    std::string device;
};
