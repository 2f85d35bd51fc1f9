#include "link/SerialPort.h"

#include "link/QtPortBackend.h"

#include <array>

SerialPort::SerialPort() : SerialPort(std::make_unique<QtPortBackend>()) {}

SerialPort::SerialPort(std::unique_ptr<PortBackend> backend) : backend(std::move(backend)) {}

SerialPort::~SerialPort()
{
    Close();
}

std::chrono::milliseconds SerialPort::ReadTimeout(std::size_t byteCount)
{
    return kReadTimeoutPerByte * std::int64_t(byteCount) + kReadTimeoutConstant;
}

bool SerialPort::Open(const PortAddress& address, int baudRate, Parity parity, StopBits stopBits)
{
    Close();
    return backend->Open(address, LineSettings{baudRate, parity, stopBits});
}

bool SerialPort::Open(const std::string& device, int baudRate, Parity parity, StopBits stopBits)
{
    return Open(PortAddress::OfDevice(device), baudRate, parity, stopBits);
}

void SerialPort::Close()
{
    if (backend->IsOpen())
        backend->Close();
}

std::string SerialPort::OpenError() const
{
    return backend->OpenError();
}

std::string SerialPort::LostReason() const
{
    return backend->LostReason();
}

std::size_t SerialPort::Pending()
{
    return IsOpen() ? backend->Pending() : 0;
}

bool SerialPort::IsOpen() const
{
    return backend->IsOpen();
}

bool SerialPort::Write(std::span<const std::uint8_t> bytes)
{
    return IsOpen() && backend->Write(bytes);
}

bool SerialPort::Read(std::span<std::uint8_t> into)
{
    lastReadCount = 0;
    if (!IsOpen())
        return false;
    lastReadCount = backend->Read(into, ReadTimeout(into.size()));
    return lastReadCount == into.size();
}

void SerialPort::PurgeReceive()
{
    if (IsOpen())
        backend->PurgeReceive();
}

bool SerialPort::BreakPulse()
{
    if (!IsOpen() || !backend->SetBreak(true))
        return false;
    std::array<std::uint8_t, 1> discarded{};
    Read(discarded);
    return backend->SetBreak(false);
}

bool SerialPort::SetRts(bool on)
{
    return IsOpen() && backend->SetRts(on);
}
