#pragma once

#include "common/FlashMap.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// Time inside the model: how long the machine has been running. Nothing in the
// model reads a real clock; its owner moves this time forward (the in-process
// port backend by the wire time of what it carries, mirelle-sim by the real
// clock, tests by hand).
using SimTime = std::chrono::nanoseconds;

// What kind of trouble a fault injects, and which requests count for it.
enum class FaultKind {
    NoAnswer,       // the request is lost: not carried out, not answered
    BadChecksum,    // carried out; the reply's checksum is off by one (an ACK becomes 0x15)
    SurplusBytes,   // carried out; extra bytes follow the reply
    LateReply,      // carried out; the reply leaves `delay` later
    EraseStatus,    // counts EraseFlash requests: the erase runs, then ends with `status`
    ProgramStatus,  // counts ProgramFlashBlock requests: nothing is programmed, `status` answered
    CorruptBlock,   // counts ProgramFlashBlock requests: programmed and answered status 0, then one bit flipped
};

struct Fault {
    FaultKind kind = FaultKind::NoAnswer;
    // The fault strikes the nth request it counts from the time it is injected
    // (1: the next one). EraseStatus and ProgramStatus count their own command
    // only; the others count every well-formed request frame.
    unsigned nth = 1;
    // Strikes every counted request from the nth on instead of once.
    bool persistent = false;
    std::uint8_t status = 0;
    unsigned surplusBytes = 4;
    std::chrono::milliseconds delay{300};
};

struct MachineConfig {
    std::uint32_t hardIdent = 0x4D520001;
    std::uint32_t flashIdent = 0x000122DA;
    std::uint32_t flashBase = FlashMap::kFactoryAreaAddress;
    std::uint32_t flashSize = 0x100000;   // 1 MiB
    std::uint32_t sectorSize = 0x10000;   // 64 KiB, uniform
    SimTime eraseTime = std::chrono::milliseconds(200);
    // Requests arrive and answers leave at the line rate instead of at once.
    bool wirePacing = false;
    // How long a USB adapter holds an answer back before the tool gets it:
    // an FTDI adapter whose latency timer was not lowered waits up to 16 ms.
    SimTime adapterLatency{};
    // Powered up in the resident loader instead of the firmware.
    bool startInLoader = false;
    // Keep a record of every request carried out (for tests).
    bool keepRequestLog = true;
};

// The machine at the far end of the serial line: consumes the bytes the tool
// sends and produces the bytes its firmware answers. The wake-up exchange,
// the framed command set, X/Y/P memory of 24-bit words, a NOR flash and the
// resident boot loader. Single-threaded; no call blocks or sleeps.
class MachineModel {
public:
    // 11 bits a byte (start, 8 data, parity, stop) at 38400 baud.
    static constexpr SimTime kByteTime{11'000'000'000LL / 38400};
    // A frame whose bytes stop coming for this long is dropped; the machine
    // waits for a new start byte or wake-up.
    static constexpr SimTime kFrameGapTimeout = std::chrono::milliseconds(50);
    // The wire's own values, kept apart from the tool's on purpose (see
    // MachineModel.cpp): the model checks the link, it does not share it.
    static constexpr std::uint16_t kSelectCode = 0x80A2;
    static constexpr std::uint8_t kAck = 0x04;
    static constexpr std::uint8_t kCorruptAck = 0x15;
    static constexpr std::uint8_t kSurplusByte = 0x55;

    // ReadFlashStatus values and ProgramFlashBlock statuses.
    static constexpr std::uint8_t kStatusDone = 0x00;
    static constexpr std::uint8_t kStatusBusy = 0x01;
    static constexpr std::uint8_t kStatusNeedsErase = 0x02;   // a bit would have to go from 0 to 1
    static constexpr std::uint8_t kStatusOutsideFlash = 0x04; // the block or erase address is not in flash

    static constexpr std::uint32_t kWordMask = 0xFFFFFF;

    enum class Mode { Running, ResidentLoader, Off };

    struct ExecuteRecord {
        std::uint32_t address = 0;
        std::array<std::uint8_t, 3> parameterBytes{};
        std::uint32_t parameter32 = 0;
        std::uint64_t parameter64 = 0;
    };

    struct BootRecord {
        std::uint32_t runAddress = 0;
        std::uint32_t wordCount = 0;
    };

    // A request that was carried out (faults of kind NoAnswer excluded).
    struct RequestRecord {
        std::uint8_t classByte = 0;
        std::uint8_t opcode = 0;
        std::vector<std::uint8_t> parameters;  // payload bytes after the opcode
        SimTime at{};
    };

    // Throws std::invalid_argument for a flash geometry that does not divide
    // into whole sectors or does not fit the 32-bit address space.
    explicit MachineModel(const MachineConfig& config = {});

    const MachineConfig& Config() const { return config; }

    // --- the line ---------------------------------------------------------
    // Bytes from the tool, arriving now (or, with wire pacing, one after the
    // other at the line rate from now or from the end of earlier input).
    void Feed(std::span<const std::uint8_t> bytes);
    // Copies answer bytes that have arrived by now into `into`; returns the count.
    std::size_t TakeOutput(std::span<std::uint8_t> into);
    // When the earliest answer byte not yet taken arrives; none when there is none.
    std::optional<SimTime> NextOutputTime() const;
    std::size_t PendingOutput() const { return output.size(); }
    // Drops answer bytes that have arrived by now (a purge of the receive side).
    void DropArrivedOutput();
    // How many bytes of output have arrived by now and were not taken.
    std::size_t ArrivedOutput() const;
    // A break on the line: whatever part of a frame was being received is dropped.
    void LineBreak();
    // The RTS line: held at power-up, it puts the machine into the resident loader.
    void SetRtsLine(bool on) { rtsLine = on; }

    // --- time -------------------------------------------------------------
    SimTime Now() const { return now; }
    void Advance(SimTime duration);
    void AdvanceTo(SimTime time);  // never moves backwards

    // --- power ------------------------------------------------------------
    Mode CurrentMode() const { return mode; }
    // Power cycle: RAM (X, Y, P) cleared, input and output dropped, flash kept.
    // The machine comes up in the resident loader when asked or when RTS is held.
    void PowerOn(bool intoLoader = false);
    // Power cut: silent until powered on again; answers not yet sent are lost.
    void PowerOff();

    // --- faults -----------------------------------------------------------
    void InjectFault(const Fault& fault);
    void ClearFaults() { faults.clear(); }

    // --- flash ------------------------------------------------------------
    std::uint32_t FlashBase() const { return config.flashBase; }
    std::uint32_t FlashSize() const { return config.flashSize; }
    std::uint32_t SectorSize() const { return config.sectorSize; }
    // The flash contents; addresses outside flash read 0xFF.
    std::uint8_t FlashByte(std::uint32_t address) const;
    std::vector<std::uint8_t> ReadFlash(std::uint32_t address, std::size_t count) const;
    const std::vector<std::uint8_t>& FlashContents() const { return flash; }
    // What ReadFlashStatus would answer now.
    std::uint8_t FlashStatus() const { return FlashStatusAt(now); }
    // The whole flash erased at once (a blank machine).
    void EraseAllFlash();
    // As the factory programs a machine: every sector holding one of the erase
    // addresses erased at once, then the image programmed from `address` with
    // the flash rules. False when an erase address or the image lies outside
    // flash or the image needs a bit that is not erased; the flash then holds
    // what could be done.
    bool ApplyImage(std::span<const std::uint32_t> eraseAddresses, std::uint32_t address,
                    std::span<const std::uint8_t> image);
    // The flash as a raw file of FlashSize() bytes. False, with a reason in
    // `error`, when the file cannot be read or written or has another size.
    bool LoadFlash(const std::string& path, std::string& error);
    bool SaveFlash(const std::string& path, std::string& error) const;

    // --- memory -----------------------------------------------------------
    // X (0), Y (1) and P (2), 24-bit addresses and words; unwritten words read 0.
    std::uint32_t MemoryWord(std::uint8_t space, std::uint32_t address) const;
    void SetMemoryWord(std::uint8_t space, std::uint32_t address, std::uint32_t value);

    // --- what the machine was asked to do -----------------------------------
    const std::vector<ExecuteRecord>& Executions() const { return executions; }
    const std::vector<std::uint32_t>& Kills() const { return kills; }
    const std::vector<BootRecord>& Boots() const { return boots; }
    const std::vector<std::uint8_t>& PowerRequests() const { return powerRequests; }
    const std::vector<RequestRecord>& RequestLog() const { return requestLog; }
    void ClearRequestLog() { requestLog.clear(); }
    // Well-formed request frames received since construction (lost ones too).
    std::uint64_t RequestCount() const { return requestCount; }
    std::uint64_t WakeCount() const { return wakeCount; }

private:
    enum class Receive { Idle, Length, Payload, Checksum };

    struct PendingFault {
        Fault fault;
        unsigned countdown;  // counted requests still to pass before it strikes
    };

    struct Answer {
        std::vector<std::uint8_t> bytes;
        bool framed = false;
    };

    void ReceiveByte(std::uint8_t byte, SimTime at);
    void LoaderByte(std::uint8_t byte, SimTime at);
    void ResetReceiver();
    void FrameComplete(SimTime at);
    // Carries out a request; no answer when the request is not one the
    // firmware knows. `eraseStatus`/`programStatus` are injected outcomes.
    std::optional<Answer> Carry(std::uint8_t classByte, std::uint8_t opcode,
                                std::span<const std::uint8_t> parameters, SimTime at,
                                std::optional<std::uint8_t> eraseStatus,
                                std::optional<std::uint8_t> programStatus);
    std::optional<Answer> CarryMemory(std::uint8_t opcode, std::span<const std::uint8_t> parameters);
    std::optional<Answer> CarryFlash(std::uint8_t opcode, std::span<const std::uint8_t> parameters, SimTime at,
                                     std::optional<std::uint8_t> eraseStatus,
                                     std::optional<std::uint8_t> programStatus);
    static Answer Ack();
    static Answer Reply(std::uint8_t classByte, std::uint8_t opcode, std::span<const std::uint8_t> data);
    void Send(std::span<const std::uint8_t> bytes, SimTime at);
    // Strikes due faults of the given kinds for one counted request.
    std::vector<Fault> DueFaults(bool (*counts)(FaultKind));

    std::uint8_t FlashStatusAt(SimTime at) const;
    bool InFlash(std::uint64_t address, std::uint64_t count) const;
    std::uint8_t Program(std::uint32_t address, std::span<const std::uint8_t> bytes);
    void EraseSector(std::uint32_t address);

    MachineConfig config;
    std::vector<std::uint8_t> flash;
    std::array<std::unordered_map<std::uint32_t, std::uint32_t>, 3> memory;

    SimTime now{};
    Mode mode = Mode::Running;
    bool rtsLine = false;

    // receiver
    Receive receive = Receive::Idle;
    std::vector<std::uint8_t> frame;  // length byte, payload, checksum
    std::size_t frameLength = 0;
    SimTime lastByteAt{};
    std::uint32_t wakeWindow = 0;
    SimTime inputLineFree{};

    // resident loader: 6 header bytes, then the words
    std::vector<std::uint8_t> loaderHeader;
    std::uint32_t loaderWordsLeft = 0;
    std::uint32_t loaderAddress = 0;
    std::uint32_t loaderRunAddress = 0;
    std::uint32_t loaderWordCount = 0;
    std::array<std::uint8_t, 3> loaderWord{};
    std::size_t loaderWordFill = 0;

    // output: bytes with the time at which each has arrived at the tool
    struct OutByte {
        std::uint8_t value;
        SimTime at;
    };
    std::deque<OutByte> output;
    SimTime outputLineFree{};

    // flash operation under way
    SimTime eraseBusyUntil{};
    std::uint8_t flashStatus = kStatusDone;
    // The ProgramFlashBlock under way is struck by a CorruptBlock fault.
    bool corruptBlock = false;

    std::vector<PendingFault> faults;

    std::vector<ExecuteRecord> executions;
    std::vector<std::uint32_t> kills;
    std::vector<BootRecord> boots;
    std::vector<std::uint8_t> powerRequests;
    std::vector<RequestRecord> requestLog;
    std::uint64_t requestCount = 0;
    std::uint64_t wakeCount = 0;
};
