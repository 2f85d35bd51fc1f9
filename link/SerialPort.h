#pragma once

#include "link/PortBackend.h"

#include <memory>
#include <string>

// The tool's one serial port: opens a port by name for the machine's line
// settings and offers blocking reads with a fixed total time-out, a purge of
// the receive side, a timed break and the RTS line. Knows nothing of frames.
class SerialPort {
public:
    // A read of n bytes waits at most n * perByte + constant.
    static constexpr std::chrono::milliseconds kReadTimeoutPerByte{1};
    static constexpr std::chrono::milliseconds kReadTimeoutConstant{100};

    // Uses the operating system's serial ports.
    SerialPort();
    explicit SerialPort(std::unique_ptr<PortBackend> backend);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Closes any open port first, then opens the device (a path, or "COMn"
    // on Windows) as the backend takes it. False leaves the port closed.
    bool Open(const PortAddress& address, int baudRate, Parity parity, StopBits stopBits);
    // The same for a device path given as it stands.
    bool Open(const std::string& device, int baudRate, Parity parity, StopBits stopBits);
    void Close();
    bool IsOpen() const;
    // What the system said when the last Open failed; empty when it did not.
    std::string OpenError() const;
    // Why the open device went away, which closed the port; empty while it
    // is there or when it was closed on purpose.
    std::string LostReason() const;
    // Bytes that have come and were not read: what a purge would drop.
    std::size_t Pending();

    bool Write(std::span<const std::uint8_t> bytes);
    // All n bytes or false; bytes of a short read are consumed and lost,
    // and counted in LastReadCount().
    bool Read(std::span<std::uint8_t> into);
    std::size_t LastReadCount() const { return lastReadCount; }
    void PurgeReceive();
    // Break until one byte arrives (discarded) or a one-byte read times out.
    bool BreakPulse();
    bool SetRts(bool on);

    static std::chrono::milliseconds ReadTimeout(std::size_t byteCount);

private:
    std::unique_ptr<PortBackend> backend;
    std::size_t lastReadCount = 0;
};
