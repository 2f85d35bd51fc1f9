#include "procedures/boot/BootStream.h"

#include "common/ByteOrder.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

constexpr const char* kFailedText = "Boot failed : the port did not take the bytes";

}  // namespace

BootStream::BootStream(DeviceLink& link, std::vector<std::uint8_t> words, std::uint32_t runAddress,
                       std::uint32_t endAddress)
    : link(link), words(std::move(words)), runAddress(runAddress), endAddress(std::max(endAddress, runAddress)),
      nextAddress(runAddress), barPosition(runAddress)
{
    this->words.resize(std::size_t(this->endAddress - runAddress) * kWordBytes);  // never read past them
}

void BootStream::Start()
{
    std::uint8_t header[2 * kWordBytes];
    ByteOrder::PutLe24(header, endAddress - runAddress);
    ByteOrder::PutLe24(header + kWordBytes, runAddress);
    // The count and the run address go as two writes, as the loader reads them.
    if (Send(header, kWordBytes))
        Send(header + kWordBytes, kWordBytes);
}

void BootStream::Tick()
{
    if (IsFinished())
        return;
    barPosition = nextAddress;
    if (nextAddress >= endAddress) {
        End(ProcedureResult::Done, "Done");
        return;
    }
    const std::uint32_t count = std::min(endAddress - nextAddress, kWordsPerTick);
    const std::size_t offset = std::size_t(nextAddress - runAddress) * kWordBytes;
    if (Send(words.data() + offset, count * kWordBytes)) {
        nextAddress += count;
        ++blocks;
    }
}

void BootStream::Abort()
{
    if (!IsFinished())
        End(ProcedureResult::Aborted, "Aborted");
}

bool BootStream::Send(const std::uint8_t* bytes, std::size_t count)
{
    if (link.RawWrite(std::span(bytes, count)))
        return true;
    End(ProcedureResult::WriteFailed, kFailedText);
    return false;
}

void BootStream::End(ProcedureResult outcome, const char* text)
{
    result = outcome;
    resultText = text;
}
