#pragma once

#include "link/LinkFailure.h"
#include "link/LoaderWait.h"
#include "link/PortDiagnosis.h"
#include "link/PortName.h"
#include "link/SerialPort.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>

enum class LinkState : std::int32_t {
    Closed = 1,        // no port is open
    NotAvailable = 2,  // opening the selected port failed
    NoAnswer = 3,      // port open; the machine has not acknowledged, or the last exchange failed
    Ready = 4,         // port open; requests may be sent
};

// Code byte of a memory space of the machine's processor.
enum class MemorySpace : std::uint8_t { X = 0, Y = 1, P = 2 };

namespace Frame {
constexpr std::uint8_t kStart = 0x02;
constexpr std::uint8_t kAck = 0x04;
constexpr std::uint8_t kWakeEnd = 0x03;
constexpr std::size_t kMaxRequestPayload = 252;
constexpr std::size_t kMaxFrame = 255 + 3;
// Checksum byte: length byte + payload + checksum sum to 0 modulo 256.
std::uint8_t Checksum(std::uint8_t length, std::span<const std::uint8_t> payload);
}  // namespace Frame

namespace Command {
constexpr std::uint8_t kMemoryClass = 0x7F;
constexpr std::uint8_t kFlashClass = 0x7E;
constexpr std::uint8_t kReadMemory = 0x30, kWriteMemory = 0x31, kExecute = 0x32, kKill = 0x33;
constexpr std::uint8_t kReadIdentity = 0x00, kReadFlashStatus = 0x01, kProgramFlashBlock = 0x02,
                       kEraseFlash = 0x03, kReadFlashBlock = 0x04, kPowerControl = 0x05;
constexpr unsigned kMaxMemoryWords = 16;
// Largest count a ProgramFlashBlock request frame can carry (8 + count <= 252).
constexpr unsigned kMaxProgramCount = 244;
// Largest count a ReadFlashBlock reply frame can carry (length byte n + 3 <= 255).
constexpr unsigned kMaxReadFlashCount = 247;
constexpr std::uint16_t kSelectCode = 0x80A2;
// The PowerControl mode that sends the machine to its resident loader (0 switches it off).
constexpr std::uint8_t kToResidentLoader = 1;
// The command's name ("ReadIdentity"); null for a pair the machine does not know.
const char* Name(std::uint8_t classByte, std::uint8_t opcode);
}  // namespace Command

// The one connection to the machine: owns the serial port, keeps the link
// state, runs the wake-up exchange and carries every request and reply as a
// checksummed frame. Every operation reports by its result and the state; none
// throws, shows or retries anything.
class DeviceLink {
public:
    static constexpr int kBaudRate = 38400;

    DeviceLink();  // over the operating system's serial ports
    explicit DeviceLink(std::unique_ptr<PortBackend> backend);
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Opens the port's device, resolved by the caller (ResolvePort) from its
    // name; the link reads no settings.
    bool OpenPort(const PortAddress& address);
    void ClosePort();
    // The address the last OpenPort tried, and why it failed: trouble None
    // when it opened (or none was tried).
    const PortAddress& LastAddress() const { return lastAddress; }
    const PortDiagnosis& OpenFailure() const { return openFailure; }
    LinkState State() const { return state; }
    // What the last exchange saw when it failed (Kind::None when it went
    // through): the cause behind a "No answer".
    const LinkFailure& LastFailure() const { return failure; }
    // The once-a-second look of a program that keeps its port open (the
    // window): a device that went away closes the port (NotAvailable, why
    // in OpenFailure), and a port NotAvailable is opened again at
    // LastAddress as soon as its device is there, RTS off as every open
    // leaves it. Sends nothing; does nothing while a procedure owns the
    // link. True when the state changed.
    bool KeepOpen();
    void Select(std::uint16_t code);
    bool SetRts(bool on);
    bool Rts() const { return rtsOn != 0; }
    bool RawWrite(std::span<const std::uint8_t> bytes);

    // The command set. Destinations are written only on success.
    bool ReadMemory(std::uint32_t address, MemorySpace space, unsigned count, std::uint32_t* values);
    bool WriteMemory(std::uint32_t address, MemorySpace space, unsigned count, const std::uint32_t* values);
    bool Execute(std::uint32_t address, std::array<std::uint8_t, 3> parameterBytes,
                 std::uint32_t parameter32, std::uint64_t parameter64);
    bool Kill(std::uint32_t address);
    bool ReadIdentity(std::uint32_t& hardIdent, std::uint32_t& flashIdent);
    bool ReadFlashStatus(std::uint8_t& status);
    bool ProgramFlashBlock(std::uint32_t address, unsigned count, const std::uint8_t* bytes, std::uint8_t& status);
    bool EraseFlash(std::uint32_t address);
    bool ReadFlashBlock(std::uint32_t address, unsigned count, std::uint8_t* bytes);
    bool PowerControl(std::uint8_t mode);

    // Whether a procedure has the link to itself (a LinkOwner of it lives):
    // a download or a boot stream is under way, and whatever else uses the
    // link on a timer of its own (a watch window, see WatchReadsHeld) sends
    // nothing meanwhile.
    bool OwnedByProcedure() const { return procedureOwners != 0; }

    // A PowerControl of kToResidentLoader that went out ("Program loader")
    // leaves the machine in its resident loader, which takes every byte that
    // follows as part of the boot stream it waits for. The link counts it as
    // waiting until the first of: EndLoaderWait (the boot dialog has closed),
    // another request or wake-up (any job that uses the link), the port opened
    // or closed, or LoaderWait::kLimit after the request.
    void EndLoaderWait() { loaderWait.End(); }
    // The clock the loader's wait is measured on (tests give their own).
    void UseClock(LoaderWait::Clock clock) { loaderWait.UseClock(std::move(clock)); }

    // Whether a watch window's read must not go out now: while a procedure
    // owns the link, while the resident loader waits for its stream, and
    // while the programming-mode line (RTS) is on, the machine being brought
    // up into that loader. Only the watches ask: every other request goes out
    // as ever, downloads under RTS too.
    bool WatchReadsHeld() const { return OwnedByProcedure() || loaderWait.Active() || Rts(); }

private:
    friend class LinkOwner;

    void Wake();
    // The failure of the exchange under way, unless one was seen already
    // (a refused write is the cause of the silence after it).
    void Fail(LinkFailure::Kind kind);
    // A read that came back short: the device lost, nothing, or a part.
    void FailShortRead(std::size_t expected);
    // Sends nothing for a payload longer than a request may be; the reply
    // that never comes then fails the command.
    void SendFrame(std::span<const std::uint8_t> payload);
    bool AwaitAck();
    bool ReceiveReply(std::uint8_t classByte, std::uint8_t opcode, std::span<std::uint8_t> data);
    // Wake, the Ready test and the request; false when nothing could be sent.
    bool SendRequest(std::span<const std::uint8_t> payload);

    LinkState state = LinkState::Closed;
    PortAddress lastAddress;
    PortDiagnosis openFailure;
    LinkFailure failure;
    std::uint16_t selectCode = Command::kSelectCode;
    std::uint8_t rtsOn = 0;
    SerialPort port;
    std::array<std::uint8_t, 255> sendBuffer{};
    unsigned procedureOwners = 0;
    LoaderWait loaderWait;
};

// Whoever runs a procedure (its dialog, RunProcedure) holds one while it
// runs: for as long as it lives the link is owned by the procedure. They
// nest; the link is free again when the last one ends.
class LinkOwner {
public:
    explicit LinkOwner(DeviceLink& link) : link(link) { ++link.procedureOwners; }
    ~LinkOwner() { --link.procedureOwners; }
    LinkOwner(const LinkOwner&) = delete;
    LinkOwner& operator=(const LinkOwner&) = delete;

private:
    DeviceLink& link;
};

// The process-wide link and the name of the selected port ("com1" .. "com8",
// or empty). Created on first use, closed, and kept until the program ends.
// Only a program's entry reaches them, to hand them on in the ToolContext.
DeviceLink& TheDeviceLink();
extern std::string currentPortName;
