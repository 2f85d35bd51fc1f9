#include "sim/MachineModel.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

// The wire's constants, written out here again on purpose rather than taken
// from link/DeviceLink.h: the model is an independent check of the tool's
// side of the line, and a constant the tool got wrong would otherwise be
// wrong on both ends alike and pass every test.
constexpr std::uint8_t kStartByte = 0x02;
constexpr std::uint8_t kWakeEnd = 0x03;
constexpr std::uint8_t kMemoryClass = 0x7F;
constexpr std::uint8_t kFlashClass = 0x7E;
constexpr std::uint8_t kReadMemory = 0x30, kWriteMemory = 0x31, kExecute = 0x32, kKill = 0x33;
constexpr std::uint8_t kReadIdentity = 0x00, kReadFlashStatus = 0x01, kProgramFlashBlock = 0x02,
                       kEraseFlash = 0x03, kReadFlashBlock = 0x04, kPowerControl = 0x05;
constexpr unsigned kMaxMemoryWords = 16;
// A reply carries at most 255 - 3 data bytes: 5 of echo and 247 of flash.
constexpr unsigned kMaxReadFlashCount = 247;

std::uint32_t GetU32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 | at[3];
}

void PutU32(std::vector<std::uint8_t>& into, std::uint32_t value)
{
    into.push_back(std::uint8_t(value >> 24));
    into.push_back(std::uint8_t(value >> 16));
    into.push_back(std::uint8_t(value >> 8));
    into.push_back(std::uint8_t(value));
}

std::uint32_t GetLe24(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16;
}

bool CountsEveryRequest(FaultKind kind)
{
    return kind != FaultKind::EraseStatus && kind != FaultKind::ProgramStatus && kind != FaultKind::CorruptBlock;
}

bool CountsErase(FaultKind kind)
{
    return kind == FaultKind::EraseStatus;
}

bool CountsProgram(FaultKind kind)
{
    return kind == FaultKind::ProgramStatus || kind == FaultKind::CorruptBlock;
}

// Whether a request is one the firmware carries out: a known command with the
// length and parameters it takes. Anything else is ignored without an answer.
bool WellFormed(std::uint8_t classByte, std::uint8_t opcode, std::span<const std::uint8_t> p)
{
    const auto memoryRange = [&p] {
        const std::uint32_t address = GetU32(&p[0]);
        const unsigned space = p[4], count = p[5];
        return space <= 2 && count >= 1 && count <= kMaxMemoryWords && address <= MachineModel::kWordMask
            && address + count - 1 <= MachineModel::kWordMask;
    };
    if (classByte == kMemoryClass) {
        switch (opcode) {
        case kReadMemory: return p.size() == 6 && memoryRange();
        case kWriteMemory: return p.size() >= 6 && memoryRange() && p.size() == 6 + 4u * p[5];
        case kExecute: return p.size() == 19;
        case kKill: return p.size() == 4;
        default: return false;
        }
    }
    if (classByte == kFlashClass) {
        switch (opcode) {
        case kReadIdentity:
        case kReadFlashStatus: return p.empty();
        case kProgramFlashBlock: return p.size() >= 5 && p.size() == 5u + p[4];
        case kEraseFlash: return p.size() == 4;
        case kReadFlashBlock: return p.size() == 5 && p[4] <= kMaxReadFlashCount;
        case kPowerControl: return p.size() == 1;
        default: return false;
        }
    }
    return false;
}

}  // namespace

MachineModel::MachineModel(const MachineConfig& config) : config(config)
{
    if (config.sectorSize == 0 || config.flashSize == 0 || config.flashSize % config.sectorSize != 0)
        throw std::invalid_argument("flash size must be a non-zero multiple of the sector size");
    if (std::uint64_t(config.flashBase) + config.flashSize > 0x100000000ULL)
        throw std::invalid_argument("flash must lie within the 32-bit address space");
    flash.assign(config.flashSize, 0xFF);
    PowerOn(config.startInLoader);
}

// --- the line -------------------------------------------------------------

void MachineModel::Feed(std::span<const std::uint8_t> bytes)
{
    for (const auto byte : bytes) {
        SimTime at = now;
        if (config.wirePacing) {
            at = std::max(now, inputLineFree) + kByteTime;
            inputLineFree = at;
        }
        switch (mode) {
        case Mode::Off: break;
        case Mode::ResidentLoader: LoaderByte(byte, at); break;
        case Mode::Running: ReceiveByte(byte, at); break;
        }
    }
}

std::size_t MachineModel::TakeOutput(std::span<std::uint8_t> into)
{
    std::size_t taken = 0;
    while (taken < into.size() && !output.empty() && output.front().at <= now) {
        into[taken++] = output.front().value;
        output.pop_front();
    }
    return taken;
}

std::optional<SimTime> MachineModel::NextOutputTime() const
{
    if (output.empty())
        return std::nullopt;
    return output.front().at;
}

void MachineModel::DropArrivedOutput()
{
    while (!output.empty() && output.front().at <= now)
        output.pop_front();
}

std::size_t MachineModel::ArrivedOutput() const
{
    std::size_t count = 0;
    for (auto byte = output.begin(); byte != output.end() && byte->at <= now; ++byte)
        ++count;
    return count;
}

void MachineModel::LineBreak()
{
    if (mode == Mode::Running)
        ResetReceiver();
}

void MachineModel::ResetReceiver()
{
    receive = Receive::Idle;
    frame.clear();
    frameLength = 0;
    wakeWindow = 0;
}

void MachineModel::ReceiveByte(std::uint8_t byte, SimTime at)
{
    if (receive != Receive::Idle && at - lastByteAt > kFrameGapTimeout)
        ResetReceiver();
    lastByteAt = at;
    switch (receive) {
    case Receive::Idle:
        if (byte == kStartByte) {
            ResetReceiver();
            receive = Receive::Length;
            return;
        }
        wakeWindow = (wakeWindow << 8 | byte) & 0xFFFFFF;
        if (wakeWindow == (std::uint32_t(kSelectCode) << 8 | kWakeEnd)) {
            wakeWindow = 0;
            ++wakeCount;
            const std::uint8_t ack[] = {kAck};
            Send(ack, at);
        }
        return;
    case Receive::Length:
        frame.push_back(byte);
        frameLength = byte;
        receive = frameLength == 0 ? Receive::Checksum : Receive::Payload;
        return;
    case Receive::Payload:
        frame.push_back(byte);
        if (frame.size() == 1 + frameLength)
            receive = Receive::Checksum;
        return;
    case Receive::Checksum:
        frame.push_back(byte);
        receive = Receive::Idle;
        FrameComplete(at);
        frame.clear();
        return;
    }
}

void MachineModel::FrameComplete(SimTime at)
{
    unsigned sum = 0;
    for (const auto byte : frame)
        sum += byte;
    if ((sum & 0xFF) != 0 || frameLength < 3)
        return;
    const auto payload = std::span<const std::uint8_t>(frame).subspan(1, frameLength);
    const std::uint8_t classByte = payload[0];
    const std::uint8_t opcode = payload[2];
    const auto parameters = payload.subspan(3);
    if (payload[1] != frameLength - 2 || !WellFormed(classByte, opcode, parameters))
        return;

    ++requestCount;
    const auto due = DueFaults(CountsEveryRequest);
    for (const auto& fault : due) {
        if (fault.kind == FaultKind::NoAnswer)
            return;
    }
    std::optional<std::uint8_t> eraseStatus, programStatus;
    if (classByte == kFlashClass && opcode == kEraseFlash) {
        for (const auto& fault : DueFaults(CountsErase))
            eraseStatus = fault.status;
    }
    if (classByte == kFlashClass && opcode == kProgramFlashBlock) {
        for (const auto& fault : DueFaults(CountsProgram)) {
            if (fault.kind == FaultKind::CorruptBlock)
                corruptBlock = true;
            else
                programStatus = fault.status;
        }
    }
    if (config.keepRequestLog)
        requestLog.push_back({classByte, opcode, {parameters.begin(), parameters.end()}, at});

    auto answer = Carry(classByte, opcode, parameters, at, eraseStatus, programStatus);
    corruptBlock = false;
    if (!answer)
        return;
    SimTime sendAt = at;
    for (const auto& fault : due) {
        switch (fault.kind) {
        case FaultKind::BadChecksum:
            if (answer->framed)
                ++answer->bytes.back();
            else
                answer->bytes.front() = kCorruptAck;
            break;
        case FaultKind::SurplusBytes:
            answer->bytes.insert(answer->bytes.end(), fault.surplusBytes, kSurplusByte);
            break;
        case FaultKind::LateReply: sendAt += fault.delay; break;
        default: break;
        }
    }
    Send(answer->bytes, sendAt);

    if (classByte == kFlashClass && opcode == kPowerControl) {
        if (parameters[0] == 0) {
            mode = Mode::Off;
            ResetReceiver();
        } else if (parameters[0] == 1) {
            mode = Mode::ResidentLoader;
            loaderHeader.clear();
            loaderWordFill = 0;
        }
    }
}

std::vector<Fault> MachineModel::DueFaults(bool (*counts)(FaultKind))
{
    std::vector<Fault> due;
    for (auto it = faults.begin(); it != faults.end();) {
        if (!counts(it->fault.kind)) {
            ++it;
            continue;
        }
        if (it->countdown > 1) {
            --it->countdown;
            ++it;
            continue;
        }
        due.push_back(it->fault);
        if (it->fault.persistent)
            ++it;
        else
            it = faults.erase(it);
    }
    return due;
}

void MachineModel::Send(std::span<const std::uint8_t> bytes, SimTime at)
{
    for (const auto byte : bytes) {
        SimTime t = at;
        if (config.wirePacing) {
            t = std::max(at, outputLineFree) + kByteTime;
            outputLineFree = t;
        }
        t += config.adapterLatency;  // when the adapter hands the byte on
        // Bytes leave in order: a late answer holds back what follows it.
        if (!output.empty())
            t = std::max(t, output.back().at);
        output.push_back({byte, t});
    }
}

MachineModel::Answer MachineModel::Ack()
{
    return Answer{{kAck}, false};
}

MachineModel::Answer MachineModel::Reply(std::uint8_t classByte, std::uint8_t opcode,
                                         std::span<const std::uint8_t> data)
{
    Answer answer;
    answer.framed = true;
    auto& b = answer.bytes;
    const auto length = std::uint8_t(data.size() + 3);
    b.push_back(kStartByte);
    b.push_back(length);
    b.push_back(classByte);
    b.push_back(std::uint8_t(data.size() + 1));
    b.push_back(opcode);
    b.insert(b.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::size_t i = 1; i < b.size(); ++i)
        sum += b[i];
    b.push_back(std::uint8_t(0x100 - (sum & 0xFF)));
    return answer;
}

std::optional<MachineModel::Answer> MachineModel::Carry(std::uint8_t classByte, std::uint8_t opcode,
                                                        std::span<const std::uint8_t> parameters, SimTime at,
                                                        std::optional<std::uint8_t> eraseStatus,
                                                        std::optional<std::uint8_t> programStatus)
{
    if (classByte == kMemoryClass)
        return CarryMemory(opcode, parameters);
    return CarryFlash(opcode, parameters, at, eraseStatus, programStatus);
}

std::optional<MachineModel::Answer> MachineModel::CarryMemory(std::uint8_t opcode,
                                                              std::span<const std::uint8_t> p)
{
    switch (opcode) {
    case kReadMemory: {
        const std::uint32_t address = GetU32(&p[0]);
        const std::uint8_t space = p[4], count = p[5];
        // The six leading bytes echo the address, the space and the count.
        std::vector<std::uint8_t> data(p.begin(), p.begin() + 6);
        for (unsigned i = 0; i < count; ++i)
            PutU32(data, MemoryWord(space, address + i));
        return Reply(kMemoryClass, opcode, data);
    }
    case kWriteMemory: {
        const std::uint32_t address = GetU32(&p[0]);
        const std::uint8_t space = p[4], count = p[5];
        for (unsigned i = 0; i < count; ++i)
            SetMemoryWord(space, address + i, GetU32(&p[6 + 4 * i]));
        return Ack();
    }
    case kExecute: {
        ExecuteRecord record;
        record.address = GetU32(&p[0]);
        std::copy_n(p.begin() + 4, 3, record.parameterBytes.begin());
        record.parameter32 = GetU32(&p[7]);
        record.parameter64 = std::uint64_t(GetU32(&p[11])) << 32 | GetU32(&p[15]);
        executions.push_back(record);
        return Ack();
    }
    case kKill:
        kills.push_back(GetU32(&p[0]));
        return Ack();
    default: return std::nullopt;
    }
}

std::optional<MachineModel::Answer> MachineModel::CarryFlash(std::uint8_t opcode, std::span<const std::uint8_t> p,
                                                             SimTime at, std::optional<std::uint8_t> eraseStatus,
                                                             std::optional<std::uint8_t> programStatus)
{
    switch (opcode) {
    case kReadIdentity: {
        std::vector<std::uint8_t> data;
        PutU32(data, config.hardIdent);
        PutU32(data, config.flashIdent);
        return Reply(kFlashClass, opcode, data);
    }
    case kReadFlashStatus: {
        const std::uint8_t status[] = {FlashStatusAt(at)};
        return Reply(kFlashClass, opcode, status);
    }
    case kProgramFlashBlock: {
        const std::uint32_t address = GetU32(&p[0]);
        const std::uint8_t count = p[4];
        std::uint8_t status;
        if (at < eraseBusyUntil) {
            // The flash takes no program while an erase runs.
            status = kStatusBusy;
        } else if (programStatus) {
            status = *programStatus;
            flashStatus = status;
        } else {
            status = Program(address, p.subspan(5, count));
            flashStatus = status;
            if (corruptBlock && status == kStatusDone && count > 0)
                flash[address - config.flashBase] ^= 0x01;  // the block's first byte, its lowest bit
        }
        std::vector<std::uint8_t> data(p.begin(), p.begin() + 5);
        data.push_back(status);
        return Reply(kFlashClass, opcode, data);
    }
    case kEraseFlash: {
        const std::uint32_t address = GetU32(&p[0]);
        if (!eraseStatus && !InFlash(address, 1)) {
            flashStatus = kStatusOutsideFlash;
            return Ack();
        }
        // An erase asked for while another runs starts when that one ends.
        eraseBusyUntil = std::max(at, eraseBusyUntil) + config.eraseTime;
        if (eraseStatus) {
            flashStatus = *eraseStatus;
        } else {
            EraseSector(address);
            flashStatus = kStatusDone;
        }
        return Ack();
    }
    case kReadFlashBlock: {
        const std::uint32_t address = GetU32(&p[0]);
        const std::uint8_t count = p[4];
        std::vector<std::uint8_t> data(p.begin(), p.begin() + 5);
        const auto bytes = ReadFlash(address, count);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return Reply(kFlashClass, opcode, data);
    }
    case kPowerControl:
        powerRequests.push_back(p[0]);
        return Ack();
    default: return std::nullopt;
    }
}

// --- resident loader --------------------------------------------------------

void MachineModel::LoaderByte(std::uint8_t byte, SimTime)
{
    const auto start = [this] {
        boots.push_back({loaderRunAddress, loaderWordCount});
        loaderHeader.clear();
        loaderWordFill = 0;
        mode = Mode::Running;
        ResetReceiver();
    };
    if (loaderHeader.size() < 6) {
        loaderHeader.push_back(byte);
        if (loaderHeader.size() == 6) {
            loaderWordCount = GetLe24(&loaderHeader[0]);
            loaderRunAddress = GetLe24(&loaderHeader[3]);
            loaderWordsLeft = loaderWordCount;
            loaderAddress = loaderRunAddress;
            loaderWordFill = 0;
            if (loaderWordsLeft == 0)
                start();
        }
        return;
    }
    loaderWord[loaderWordFill++] = byte;
    if (loaderWordFill < 3)
        return;
    loaderWordFill = 0;
    SetMemoryWord(2, loaderAddress, GetLe24(loaderWord.data()));
    loaderAddress = (loaderAddress + 1) & kWordMask;
    if (--loaderWordsLeft == 0)
        start();
}

// --- time and power -------------------------------------------------------

void MachineModel::Advance(SimTime duration)
{
    if (duration > SimTime::zero())
        now += duration;
}

void MachineModel::AdvanceTo(SimTime time)
{
    now = std::max(now, time);
}

void MachineModel::PowerOn(bool intoLoader)
{
    for (auto& space : memory)
        space.clear();
    output.clear();
    ResetReceiver();
    loaderHeader.clear();
    loaderWordFill = 0;
    // A power cut ends an erase: the sector is left as erased.
    eraseBusyUntil = now;
    flashStatus = kStatusDone;
    inputLineFree = outputLineFree = now;
    mode = intoLoader || rtsLine ? Mode::ResidentLoader : Mode::Running;
}

void MachineModel::PowerOff()
{
    output.clear();
    ResetReceiver();
    mode = Mode::Off;
}

void MachineModel::InjectFault(const Fault& fault)
{
    faults.push_back({fault, std::max(1u, fault.nth)});
}

// --- flash ------------------------------------------------------------------

bool MachineModel::InFlash(std::uint64_t address, std::uint64_t count) const
{
    return address >= config.flashBase && address + count <= std::uint64_t(config.flashBase) + config.flashSize;
}

std::uint8_t MachineModel::FlashStatusAt(SimTime at) const
{
    return at < eraseBusyUntil ? kStatusBusy : flashStatus;
}

std::uint8_t MachineModel::FlashByte(std::uint32_t address) const
{
    return InFlash(address, 1) ? flash[address - config.flashBase] : 0xFF;
}

std::vector<std::uint8_t> MachineModel::ReadFlash(std::uint32_t address, std::size_t count) const
{
    std::vector<std::uint8_t> bytes(count, 0xFF);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t a = std::uint64_t(address) + i;
        if (InFlash(a, 1))
            bytes[i] = flash[a - config.flashBase];
    }
    return bytes;
}

void MachineModel::EraseSector(std::uint32_t address)
{
    const std::uint32_t offset = address - config.flashBase;
    const std::uint32_t start = offset - offset % config.sectorSize;
    std::fill_n(flash.begin() + start, config.sectorSize, 0xFF);
}

void MachineModel::EraseAllFlash()
{
    std::fill(flash.begin(), flash.end(), 0xFF);
}

std::uint8_t MachineModel::Program(std::uint32_t address, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return kStatusDone;
    if (!InFlash(address, bytes.size()))
        return kStatusOutsideFlash;
    const auto at = flash.begin() + (address - config.flashBase);
    // The block is checked as a whole first: one that would need an erased
    // bit anywhere leaves the flash as it was.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] & ~at[std::ptrdiff_t(i)])
            return kStatusNeedsErase;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i)
        at[std::ptrdiff_t(i)] &= bytes[i];
    return kStatusDone;
}

bool MachineModel::ApplyImage(std::span<const std::uint32_t> eraseAddresses, std::uint32_t address,
                              std::span<const std::uint8_t> image)
{
    bool complete = true;
    for (const auto erase : eraseAddresses) {
        if (InFlash(erase, 1))
            EraseSector(erase);
        else
            complete = false;
    }
    for (std::size_t i = 0; i < image.size(); ++i) {
        const std::uint64_t a = std::uint64_t(address) + i;
        if (!InFlash(a, 1)) {
            complete = false;
            continue;
        }
        auto& cell = flash[a - config.flashBase];
        if (image[i] & ~cell)
            complete = false;
        cell &= image[i];
    }
    return complete;
}

bool MachineModel::LoadFlash(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<std::uint8_t> contents(config.flashSize + 1);
    file.read(reinterpret_cast<char*>(contents.data()), std::streamsize(contents.size()));
    if (file.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (std::size_t(file.gcount()) != config.flashSize) {
        error = path + " does not hold " + std::to_string(config.flashSize) + " bytes of flash";
        return false;
    }
    contents.pop_back();
    flash = std::move(contents);
    return true;
}

bool MachineModel::SaveFlash(const std::string& path, std::string& error) const
{
    // Written beside the target and renamed over it, so that an interrupted
    // save never leaves half a flash behind.
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(flash.data()), std::streamsize(flash.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        std::remove(temporary.c_str());
        error = "cannot write " + path + ": " + code.message();
        return false;
    }
    return true;
}

// --- memory -----------------------------------------------------------------

std::uint32_t MachineModel::MemoryWord(std::uint8_t space, std::uint32_t address) const
{
    if (space > 2)
        return 0;
    const auto& words = memory[space];
    const auto it = words.find(address & kWordMask);
    return it == words.end() ? 0 : it->second;
}

void MachineModel::SetMemoryWord(std::uint8_t space, std::uint32_t address, std::uint32_t value)
{
    if (space > 2)
        return;
    memory[space][address & kWordMask] = value & kWordMask;
}
