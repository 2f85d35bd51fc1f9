#pragma once

#include "link/PortName.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Line settings the link asks for; everything else is fixed by the backend
// (8 data bits, parity checked, no flow control, raw bytes).
enum class Parity { None, Odd, Even };
enum class StopBits { One, Two };

struct LineSettings {
    int baudRate = 38400;
    Parity parity = Parity::Odd;
    StopBits stopBits = StopBits::One;
};

// The narrow interface between SerialPort and whatever carries the bytes: the
// operating system's serial port, or the in-process machine model in tests.
// A backend is either closed or holds one open device.
class PortBackend {
public:
    virtual ~PortBackend() = default;

    // Opens the address's device for exclusive use and applies the line
    // settings, DTR on (where the device has the line) and RTS off. False
    // leaves it closed. The port's name comes with it for what records it.
    virtual bool Open(const PortAddress& address, const LineSettings& settings) = 0;
    // What the system said when the last Open failed; empty when it did not.
    virtual std::string OpenError() const { return {}; }
    // Why the open device went away (an adapter pulled out, the far end of a
    // pseudo-terminal closed), which closed it; empty while it is there, or
    // when it was closed on purpose. Cleared by the next Open.
    virtual std::string LostReason() const { return {}; }
    // Bytes that have arrived and not been read: what a purge would drop.
    virtual std::size_t Pending() { return 0; }
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // True only when every byte was taken.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    // Blocks until into.size() bytes have arrived or the time-out has passed;
    // returns how many bytes were stored.
    virtual std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) = 0;
    // Drops what has been received and not yet read; pending output stays.
    virtual void PurgeReceive() = 0;
    virtual bool SetBreak(bool on) = 0;
    virtual bool SetRts(bool on) = 0;
};
