#include "procedures/FlashReadBack.h"

#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

std::vector<FlashReadBack::Range> RangesOf(const std::vector<FlashSegment>& segments)
{
    std::vector<FlashReadBack::Range> ranges;
    for (const auto& segment : segments)
        ranges.push_back({segment.address, std::uint32_t(segment.bytes.size())});
    return ranges;
}

}  // namespace

FlashReadBack::FlashReadBack(DeviceLink& link, std::vector<Range> ranges) : link(link)
{
    for (const Range& each : ranges) {
        read.push_back({each.address, {}});
        lengths.push_back(each.length);
        total += each.length;
    }
}

const char* FlashReadBack::StatusText() const
{
    return IsFinished() ? "Stanby" : "Reading...";
}

void FlashReadBack::Abort()
{
    aborted = true;
}

void FlashReadBack::Tick()
{
    if (IsFinished())
        return;
    if (aborted) {
        End(ProcedureResult::Aborted, "Aborted");
        return;
    }
    while (range < read.size() && read[range].bytes.size() >= lengths[range])
        ++range;
    if (range == read.size()) {
        Finish();
        return;
    }
    FlashSegment& current = read[range];
    const auto offset = std::uint32_t(current.bytes.size());
    const std::uint32_t count = std::min(lengths[range] - offset, kMaxReadCount);
    std::uint8_t bytes[kMaxReadCount];
    if (!link.ReadFlashBlock(current.address + offset, count, bytes)) {
        End(ProcedureResult::NoAnswer, "No answer");
        return;
    }
    current.bytes.insert(current.bytes.end(), bytes, bytes + count);
    done += count;
    ++blocks;
}

void FlashReadBack::Finish()
{
    End(ProcedureResult::Done, "Done");
}

void FlashReadBack::End(ProcedureResult outcome, std::string text)
{
    result = outcome;
    resultText = std::move(text);
}

FlashVerify::FlashVerify(DeviceLink& link, std::vector<FlashSegment> written)
    : FlashReadBack(link, RangesOf(written)), written(std::move(written))
{
}

const char* FlashVerify::StatusText() const
{
    return IsFinished() ? "Stanby" : "Verifying...";
}

void FlashVerify::Finish()
{
    for (std::size_t i = 0; i < written.size(); ++i) {
        const auto& wrote = written[i].bytes;
        const auto& found = Read()[i].bytes;
        const auto [at, _] = std::mismatch(wrote.begin(), wrote.end(), found.begin(), found.end());
        if (at != wrote.end()) {
            const auto offset = std::size_t(at - wrote.begin());
            End(ProcedureResult::VerifyFailed,
                FormatText("Verify failed at 0x%06X : wrote 0x%02X, read 0x%02X",
                           unsigned(written[i].address + offset), unsigned(*at), unsigned(found[offset])));
            return;
        }
    }
    End(ProcedureResult::Done, "Verified");
}
