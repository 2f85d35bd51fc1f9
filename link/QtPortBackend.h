#pragma once

#include "link/PortBackend.h"

#include <memory>

class QSerialPort;

// The operating system's serial port, through Qt SerialPort. The only code of
// the tool that knows Qt SerialPort.
class QtPortBackend final : public PortBackend {
public:
    // A write that the device has not taken within this time fails rather than
    // blocking the tool for ever (the longest frame takes 70 ms on the wire).
    static constexpr std::chrono::milliseconds kWriteTimeout{2000};

    QtPortBackend();
    ~QtPortBackend() override;

    bool Open(const PortAddress& address, const LineSettings& settings) override;
    std::string OpenError() const override { return openError; }
    std::string LostReason() const override { return lostReason; }
    std::size_t Pending() override;
    void Close() override;
    bool IsOpen() const override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

private:
    // The device went away (Qt's ResourceError; ReadError, which Qt 6.4
    // reports again and again for a pseudo-terminal whose other end closed,
    // while the port stays open): the port is closed at the first such error.
    void CheckLost();

    std::unique_ptr<QSerialPort> port;
    std::string openError;
    std::string lostReason;
};
