#include "link/DeviceLink.h"

#include "common/ByteOrder.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

using ByteOrder::Be32;
using ByteOrder::PutBe32;

// Request head: class byte, sub-length (bytes after it), opcode, then the
// 32-bit address that most requests carry.
struct Payload {
    std::vector<std::uint8_t> bytes;

    Payload(std::uint8_t classByte, std::uint8_t opcode, std::size_t parameterBytes)
        : bytes(3 + parameterBytes)
    {
        bytes[0] = classByte;
        bytes[1] = std::uint8_t(bytes.size() - 2);
        bytes[2] = opcode;
    }
    void Address(std::uint32_t address) { PutBe32(&bytes[3], address); }
};

struct CommandName {
    std::uint8_t classByte;
    std::uint8_t opcode;
    const char* name;
};

constexpr CommandName kCommandNames[] = {
    {Command::kMemoryClass, Command::kReadMemory, "ReadMemory"},
    {Command::kMemoryClass, Command::kWriteMemory, "WriteMemory"},
    {Command::kMemoryClass, Command::kExecute, "Execute"},
    {Command::kMemoryClass, Command::kKill, "Kill"},
    {Command::kFlashClass, Command::kReadIdentity, "ReadIdentity"},
    {Command::kFlashClass, Command::kReadFlashStatus, "ReadFlashStatus"},
    {Command::kFlashClass, Command::kProgramFlashBlock, "ProgramFlashBlock"},
    {Command::kFlashClass, Command::kEraseFlash, "EraseFlash"},
    {Command::kFlashClass, Command::kReadFlashBlock, "ReadFlashBlock"},
    {Command::kFlashClass, Command::kPowerControl, "PowerControl"},
};

}  // namespace

std::uint8_t Frame::Checksum(std::uint8_t length, std::span<const std::uint8_t> payload)
{
    unsigned sum = length;
    for (auto byte : payload)
        sum += byte;
    return std::uint8_t(0x100 - (sum & 0xFF));
}

const char* Command::Name(std::uint8_t classByte, std::uint8_t opcode)
{
    for (const CommandName& known : kCommandNames)
        if (known.classByte == classByte && known.opcode == opcode)
            return known.name;
    return nullptr;
}

DeviceLink::DeviceLink() = default;

DeviceLink::DeviceLink(std::unique_ptr<PortBackend> backend) : port(std::move(backend)) {}

bool DeviceLink::OpenPort(const PortAddress& address)
{
    loaderWait.End();
    rtsOn = 0;
    lastAddress = address;
    openFailure = {};
    if (!port.Open(address, kBaudRate, Parity::Odd, StopBits::One)) {
        state = LinkState::NotAvailable;
        openFailure = DiagnosePortFailure(address.device, port.OpenError());
        return false;
    }
    state = LinkState::Ready;
    return true;
}

bool DeviceLink::KeepOpen()
{
    if (OwnedByProcedure())
        return false;
    const LinkState before = state;
    if ((state == LinkState::Ready || state == LinkState::NoAnswer) && !port.IsOpen()) {
        const std::string reason = port.LostReason();
        ClosePort();
        state = LinkState::NotAvailable;
        openFailure = DiagnosePortFailure(lastAddress.device, reason.empty() ? "The device went away" : reason);
    }
    // A device path that is not there (an adapter unplugged) is looked at,
    // not opened: an open that cannot succeed would only be recorded. A
    // name that is no path (COM3) is tried.
    std::error_code error;
    const std::filesystem::path device(lastAddress.device);
    if (state == LinkState::NotAvailable && !lastAddress.device.empty()
        && (!device.is_absolute() || std::filesystem::exists(device, error)))
        OpenPort(lastAddress);
    return state != before;
}

void DeviceLink::ClosePort()
{
    loaderWait.End();
    port.Close();
    state = LinkState::Closed;
}

void DeviceLink::Select(std::uint16_t code)
{
    loaderWait.End();
    selectCode = code;
    if (state == LinkState::NoAnswer || state == LinkState::Ready) {
        state = LinkState::NoAnswer;
        Wake();
    }
}

bool DeviceLink::SetRts(bool on)
{
    if (!port.SetRts(on))
        return false;
    rtsOn = on ? 1 : 0;
    return true;
}

bool DeviceLink::RawWrite(std::span<const std::uint8_t> bytes)
{
    return port.Write(bytes);
}

void DeviceLink::Fail(LinkFailure::Kind kind)
{
    if (failure.kind == LinkFailure::Kind::None)
        failure.kind = kind;
}

void DeviceLink::FailShortRead(std::size_t expected)
{
    if (!port.IsOpen()) {
        failure.portReason = port.LostReason();
        Fail(LinkFailure::Kind::PortLost);
        return;
    }
    failure.got = port.LastReadCount();
    failure.expected = expected;
    Fail(failure.got == 0 ? LinkFailure::Kind::NoByte : LinkFailure::Kind::Short);
}

void DeviceLink::Wake()
{
    if (state != LinkState::NoAnswer)
        return;
    failure = {};
    failure.exchange = "the wake-up";
    failure.lateBytes = port.Pending() > 0;
    port.PurgeReceive();
    port.BreakPulse();
    const std::uint8_t wake[] = {std::uint8_t(selectCode >> 8), std::uint8_t(selectCode), Frame::kWakeEnd};
    port.Write(wake);
    AwaitAck();
}

void DeviceLink::SendFrame(std::span<const std::uint8_t> payload)
{
    if (payload.size() > Frame::kMaxRequestPayload)
        return;
    const auto length = std::uint8_t(payload.size());
    sendBuffer[0] = Frame::kStart;
    sendBuffer[1] = length;
    std::copy(payload.begin(), payload.end(), sendBuffer.begin() + 2);
    sendBuffer[2 + length] = Frame::Checksum(length, payload);
    if (!port.Write(std::span(sendBuffer).first(length + 3u))) {
        failure.portReason = port.LostReason();
        Fail(port.IsOpen() ? LinkFailure::Kind::WriteFailed : LinkFailure::Kind::PortLost);
    }
}

bool DeviceLink::AwaitAck()
{
    std::uint8_t answer = 0;
    if (!port.Read(std::span(&answer, 1))) {
        state = LinkState::NoAnswer;
        FailShortRead(1);
        return false;
    }
    if (answer != Frame::kAck) {
        state = LinkState::NoAnswer;
        failure.byte = answer;
        failure.lateBytes |= port.Pending() > 0;
        Fail(LinkFailure::Kind::BadAck);
        return false;
    }
    state = LinkState::Ready;
    return true;
}

bool DeviceLink::ReceiveReply(std::uint8_t classByte, std::uint8_t opcode, std::span<std::uint8_t> data)
{
    const std::size_t n = data.size();
    std::array<std::uint8_t, Frame::kMaxFrame + 3> frame{};
    const auto reply = std::span(frame).first(n + 6);
    if (!port.Read(reply)) {
        state = LinkState::NoAnswer;
        FailShortRead(reply.size());
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i < n + 6; ++i)
        sum += reply[i];
    // The frame first, then its checksum (a damaged byte anywhere), then
    // whether it is the answer to this request.
    using Kind = LinkFailure::Kind;
    const Kind fault = reply[0] != Frame::kStart ? Kind::BadStart
        : reply[1] != n + 3                      ? Kind::BadLength
        : (sum & 0xFF) != 0                      ? Kind::BadChecksum
        : reply[2] != classByte                  ? Kind::BadClass
        : reply[3] != n + 1                      ? Kind::BadLength
        : reply[4] != opcode                     ? Kind::BadOpcode
                                                 : Kind::None;
    if (fault != Kind::None) {
        state = LinkState::NoAnswer;
        failure.lateBytes |= port.Pending() > 0;
        Fail(fault);
        return false;
    }
    std::copy_n(reply.begin() + 5, n, data.begin());
    return true;
}

bool DeviceLink::SendRequest(std::span<const std::uint8_t> payload)
{
    loaderWait.End();  // whatever sent the machine there, this job comes after it
    const char* name = payload.size() >= 3 ? Command::Name(payload[0], payload[2]) : nullptr;
    failure = {};
    Wake();
    if (state != LinkState::Ready) {
        if (!failure.Failed()) {  // no port: nothing was tried
            failure.exchange = name ? name : "the request";
            Fail(LinkFailure::Kind::NotOpen);
        }
        return false;
    }
    const bool lateBytes = failure.lateBytes;
    failure = {};
    failure.exchange = name ? name : "the request";
    failure.lateBytes = lateBytes;
    SendFrame(payload);
    return true;
}

bool DeviceLink::ReadMemory(std::uint32_t address, MemorySpace space, unsigned count, std::uint32_t* values)
{
    if (count == 0 || count > Command::kMaxMemoryWords)
        return false;
    Payload request(Command::kMemoryClass, Command::kReadMemory, 6);
    request.Address(address);
    request.bytes[7] = std::uint8_t(space);
    request.bytes[8] = std::uint8_t(count);
    std::array<std::uint8_t, 6 + 4 * Command::kMaxMemoryWords> data{};
    if (!SendRequest(request.bytes)
        || !ReceiveReply(Command::kMemoryClass, Command::kReadMemory, std::span(data).first(6 + 4 * count)))
        return false;
    for (unsigned i = 0; i < count; ++i)
        values[i] = Be32(&data[6 + 4 * i]);
    return true;
}

bool DeviceLink::WriteMemory(std::uint32_t address, MemorySpace space, unsigned count, const std::uint32_t* values)
{
    if (count == 0 || count > Command::kMaxMemoryWords)
        return false;
    Payload request(Command::kMemoryClass, Command::kWriteMemory, 6 + 4 * count);
    request.Address(address);
    request.bytes[7] = std::uint8_t(space);
    request.bytes[8] = std::uint8_t(count);
    for (unsigned i = 0; i < count; ++i)
        PutBe32(&request.bytes[9 + 4 * i], values[i]);
    return SendRequest(request.bytes) && AwaitAck();
}

bool DeviceLink::Execute(std::uint32_t address, std::array<std::uint8_t, 3> parameterBytes,
                         std::uint32_t parameter32, std::uint64_t parameter64)
{
    Payload request(Command::kMemoryClass, Command::kExecute, 19);
    request.Address(address);
    std::copy(parameterBytes.begin(), parameterBytes.end(), request.bytes.begin() + 7);
    PutBe32(&request.bytes[10], parameter32);
    PutBe32(&request.bytes[14], std::uint32_t(parameter64 >> 32));
    PutBe32(&request.bytes[18], std::uint32_t(parameter64));
    return SendRequest(request.bytes) && AwaitAck();
}

bool DeviceLink::Kill(std::uint32_t address)
{
    Payload request(Command::kMemoryClass, Command::kKill, 4);
    request.Address(address);
    return SendRequest(request.bytes) && AwaitAck();
}

bool DeviceLink::ReadIdentity(std::uint32_t& hardIdent, std::uint32_t& flashIdent)
{
    const Payload request(Command::kFlashClass, Command::kReadIdentity, 0);
    std::array<std::uint8_t, 8> data{};
    if (!SendRequest(request.bytes) || !ReceiveReply(Command::kFlashClass, Command::kReadIdentity, data))
        return false;
    hardIdent = Be32(&data[0]);
    flashIdent = Be32(&data[4]);
    return true;
}

bool DeviceLink::ReadFlashStatus(std::uint8_t& status)
{
    const Payload request(Command::kFlashClass, Command::kReadFlashStatus, 0);
    std::array<std::uint8_t, 1> data{};
    if (!SendRequest(request.bytes) || !ReceiveReply(Command::kFlashClass, Command::kReadFlashStatus, data))
        return false;
    status = data[0];
    return true;
}

bool DeviceLink::ProgramFlashBlock(std::uint32_t address, unsigned count, const std::uint8_t* bytes,
                                   std::uint8_t& status)
{
    // Only the low byte of the count travels; a count the request frame cannot
    // carry is refused here instead of being dropped on the way.
    const unsigned byteCount = count & 0xFF;
    if (byteCount > Command::kMaxProgramCount)
        return false;
    Payload request(Command::kFlashClass, Command::kProgramFlashBlock, 5 + byteCount);
    request.Address(address);
    request.bytes[7] = std::uint8_t(byteCount);
    std::copy_n(bytes, byteCount, request.bytes.begin() + 8);
    std::array<std::uint8_t, 6> data{};
    if (!SendRequest(request.bytes) || !ReceiveReply(Command::kFlashClass, Command::kProgramFlashBlock, data))
        return false;
    if (Be32(&data[0]) != address || data[4] != byteCount) {
        Fail(LinkFailure::Kind::BadEcho);
        return false;
    }
    status = data[5];
    return true;
}

bool DeviceLink::EraseFlash(std::uint32_t address)
{
    Payload request(Command::kFlashClass, Command::kEraseFlash, 4);
    request.Address(address);
    return SendRequest(request.bytes) && AwaitAck();
}

bool DeviceLink::ReadFlashBlock(std::uint32_t address, unsigned count, std::uint8_t* bytes)
{
    const unsigned byteCount = count & 0xFF;
    if (byteCount > Command::kMaxReadFlashCount)
        return false;
    Payload request(Command::kFlashClass, Command::kReadFlashBlock, 5);
    request.Address(address);
    request.bytes[7] = std::uint8_t(byteCount);
    std::array<std::uint8_t, 5 + Command::kMaxReadFlashCount> data{};
    const auto reply = std::span(data).first(5 + byteCount);
    if (!SendRequest(request.bytes) || !ReceiveReply(Command::kFlashClass, Command::kReadFlashBlock, reply))
        return false;
    if (Be32(&data[0]) != address || data[4] != byteCount) {
        Fail(LinkFailure::Kind::BadEcho);
        return false;
    }
    std::copy_n(data.begin() + 5, byteCount, bytes);
    return true;
}

bool DeviceLink::PowerControl(std::uint8_t mode)
{
    Payload request(Command::kFlashClass, Command::kPowerControl, 1);
    request.bytes[3] = mode;
    if (!SendRequest(request.bytes))
        return false;
    if (mode == Command::kToResidentLoader)
        loaderWait.Begin();  // also when the acknowledgement is lost: the machine may be there
    return AwaitAck();
}

DeviceLink& TheDeviceLink()
{
    static DeviceLink link;
    return link;
}

std::string currentPortName;
