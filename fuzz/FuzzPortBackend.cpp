#include "fuzz/FuzzPortBackend.h"

#include "link/DeviceLink.h"

#include <algorithm>

namespace {

// Bytes of a reply frame before its data: start, length, class, sub-length, opcode.
constexpr std::size_t kFrameHead = 5;

// Bytes at the start of a reply's data that echo the request (address, count ...).
std::size_t EchoLength(std::uint8_t classByte, std::uint8_t opcode)
{
    if (classByte == Command::kMemoryClass && opcode == Command::kReadMemory)
        return 6;
    if (classByte == Command::kFlashClass
        && (opcode == Command::kReadFlashBlock || opcode == Command::kProgramFlashBlock))
        return 5;
    return 0;
}

}  // namespace

std::size_t FuzzBytes::Take(std::span<std::uint8_t> into)
{
    const std::size_t count = std::min(into.size(), bytes.size() - at);
    std::copy_n(bytes.begin() + std::ptrdiff_t(at), count, into.begin());
    at += count;
    return count;
}

FuzzPortBackend::FuzzPortBackend(Mode mode, FuzzBytes& input, MachineModel& machine)
    : mode(mode), input(input), model(machine)
{
}

bool FuzzPortBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    open = model.Open(address, settings);
    return open;
}

void FuzzPortBackend::Close()
{
    model.Close();
    open = false;
}

bool FuzzPortBackend::Write(std::span<const std::uint8_t> bytes)
{
    if (mode == Mode::Structured)
        model.Write(bytes);
    return true;
}

std::size_t FuzzPortBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    if (mode == Mode::Raw)
        return input.Take(into);
    const std::size_t got = model.Read(into, timeout);
    if (got < into.size())
        return got;
    return Change(into);
}

std::size_t FuzzPortBackend::Change(std::span<std::uint8_t> answer)
{
    const std::uint8_t choice = input.Byte();
    switch (choice % 8) {
    case 4:  // the data replaced, the frame kept sound
        if (answer.size() > kFrameHead && answer[0] == Frame::kStart) {
            const std::size_t from = std::min(answer.size() - 1, kFrameHead + EchoLength(answer[2], answer[4]));
            for (std::size_t i = from; i + 1 < answer.size(); ++i)
                answer[i] = input.Byte();
            unsigned sum = 0;
            for (std::size_t i = 1; i + 1 < answer.size(); ++i)
                sum += answer[i];
            answer.back() = std::uint8_t(0x100 - (sum & 0xFF));
        } else {
            answer[0] = input.Byte();
        }
        return answer.size();
    case 5: {  // one byte changed
        const std::size_t index = input.Byte() % answer.size();
        answer[index] ^= std::uint8_t(input.Byte() | 1);
        return answer.size();
    }
    case 6:  // cut short
        return input.Byte() % answer.size();
    case 7:  // lost
        return 0;
    default:
        return answer.size();
    }
}

void FuzzPortBackend::PurgeReceive()
{
    model.PurgeReceive();
}

bool FuzzPortBackend::SetBreak(bool on)
{
    return model.SetBreak(on);
}

bool FuzzPortBackend::SetRts(bool on)
{
    return model.SetRts(on);
}
