#include "procedures/FlashDownload.h"

#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

constexpr const char* kErasingText = "Erasing...";
constexpr const char* kNoEraseText = "Programming (No erase)...";
constexpr const char* kProgrammingText = "Programming...";
// "Stanby", misspelt, is kept on purpose: technicians and their scripts know it.
constexpr const char* kStandbyText = "Stanby";

constexpr std::uint8_t kFlashDone = 0;
constexpr std::uint8_t kFlashBusy = 1;

std::vector<FlashSegment> WithoutEmpty(std::vector<FlashSegment> segments)
{
    std::erase_if(segments, [](const FlashSegment& segment) { return segment.bytes.empty(); });
    return segments;
}

std::uint32_t TotalLength(const std::vector<FlashSegment>& segments)
{
    std::uint32_t total = 0;
    for (const auto& segment : segments)
        total += std::uint32_t(segment.bytes.size());
    return total;
}

}  // namespace

FlashDownload::FlashDownload(DeviceLink& link, bool erases, std::uint32_t writeAddress,
                             std::vector<std::uint8_t> data, std::uint32_t trailerAddress,
                             std::vector<std::uint8_t> trailer)
    : FlashDownload(link, erases, {FlashSegment{writeAddress, std::move(data)}},
                    FlashSegment{trailerAddress, std::move(trailer)})
{
}

FlashDownload::FlashDownload(DeviceLink& link, bool erases, std::vector<FlashSegment> segments, FlashSegment trailer)
    : link(link),
      segments(WithoutEmpty(std::move(segments))),
      trailer(std::move(trailer)),
      length(TotalLength(this->segments)),
      erasing(erases),
      programming(!erases),
      statusText(erases ? kErasingText : kNoEraseText)
{
}

FlashDownload::Phase FlashDownload::CurrentPhase() const
{
    if (IsFinished())
        return Phase::Finished;
    if (erasing)
        return Phase::Erasing;
    if (programming)
        return Phase::Programming;
    return Phase::Idle;
}

FlashDownload::Progress FlashDownload::CurrentProgress() const
{
    if (CurrentPhase() == Phase::Erasing)
        return EraseProgress();
    return {CurrentPhase(), written, length};
}

std::vector<FlashSegment> FlashDownload::WrittenSegments() const
{
    std::vector<FlashSegment> written = segments;
    if (!trailer.bytes.empty())
        written.push_back(trailer);
    return written;
}

ProcedureProgress FlashDownload::Bar() const
{
    return {0, length, barPosition};
}

ProcedureProgress FlashDownload::Work() const
{
    if (CurrentPhase() == Phase::Erasing)
        return EraseCount();
    const Progress progress = CurrentProgress();
    return {0, progress.maximum, progress.position};
}

std::chrono::milliseconds FlashDownload::PauseHint() const
{
    return eraseSent ? kErasePollPause : std::chrono::milliseconds(0);
}

void FlashDownload::Tick()
{
    if (IsFinished())
        return;
    if (erasing)
        EraseTick();
    else if (programming)
        ProgramTick();
    else
        Fail(Result::Aborted);
}

void FlashDownload::Abort()
{
    if (IsFinished())
        return;
    erasing = false;
    eraseSent = false;
    programming = false;
}

void FlashDownload::EraseTimedOut()
{
    if (erasing)
        Fail(Result::EraseTimedOut);
}

void FlashDownload::EraseTick()
{
    if (!eraseSent) {
        eraseSent = true;
        counts.flashTouched = true;
        if (!link.EraseFlash(EraseAddress()))
            Fail(Result::NoAnswer);
        return;
    }
    std::uint8_t status = 0;
    if (!link.ReadFlashStatus(status)) {
        Fail(Result::NoAnswer);
        return;
    }
    if (status == kFlashBusy)
        return;  // ask again on the next tick
    if (status != kFlashDone) {
        Fail(Result::EraseStatus, status);
        return;
    }
    eraseSent = false;
    ++counts.erases;
    if (NextErase())
        return;
    erasing = false;
    programming = true;
    statusText = kProgrammingText;
}

void FlashDownload::ProgramTick()
{
    barPosition = written;
    if (written >= length) {
        statusText = kStandbyText;
        barPosition = 0;
        programming = false;
        result = Result::Done;
        resultText = "Done";
        return;
    }
    const FlashSegment& current = segments[segment];
    const std::uint32_t count = std::min(std::uint32_t(current.bytes.size()) - segmentOffset, kBlockSize);
    const bool last = written + count >= length;
    std::uint8_t status = 0;
    counts.flashTouched = true;
    if (!link.ProgramFlashBlock(current.address + segmentOffset, count, current.bytes.data() + segmentOffset,
                                status)) {
        Fail(Result::NoAnswer);
        return;
    }
    if (!last || trailer.bytes.empty()) {
        Advance(count);
        if (status != kFlashDone)
            Fail(Result::ProgramStatus, status);
        return;
    }
    // The last block went; the trailer follows in the same tick.
    if (status != kFlashDone) {
        Fail(Result::ProgramStatus, status);
        return;
    }
    if (!link.ProgramFlashBlock(trailer.address, unsigned(trailer.bytes.size()), trailer.bytes.data(), status)) {
        Fail(Result::NoAnswer);
        return;
    }
    written = length;
    ++counts.blocks;
    counts.bytes = written;
    if (status != kFlashDone)
        Fail(Result::ProgramStatus, status);
}

void FlashDownload::Advance(std::uint32_t count)
{
    written += count;
    ++counts.blocks;
    counts.bytes = written;
    segmentOffset += count;
    if (segmentOffset >= segments[segment].bytes.size()) {
        ++segment;
        segmentOffset = 0;
    }
}

void FlashDownload::Fail(Result kind, std::uint8_t status)
{
    eraseSent = false;
    erasing = false;
    programming = false;
    statusText = kStandbyText;
    result = kind;
    failedStatus = status;
    switch (kind) {
    case Result::NoAnswer:
        resultText = "No answer";
        break;
    case Result::EraseStatus:
        resultText = FormatText("bad status while erasing : 0x%02X", unsigned(status));
        break;
    case Result::ProgramStatus:
        resultText = FormatText("bad status while programming : 0x%02X", unsigned(status));
        break;
    case Result::Aborted:
        resultText = "Aborted";
        break;
    case Result::EraseTimedOut:
        resultText = "Erase timed out";
        break;
    default:
        break;
    }
}
