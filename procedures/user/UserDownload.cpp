#include "UserDownload.h"

#include "DeviceLink.h"
#include "TextFormat.h"

namespace {

constexpr const char* kErasingText = "Erasing...";
constexpr const char* kProgrammingText = "Programming...";
constexpr const char* kStandbyText = "Stanby";

}  // namespace

UserDownload::UserDownload(DeviceLink& link, const UserArea& area, std::uint32_t programBase,
                           std::vector<std::uint8_t> data, std::vector<std::uint8_t> zoneTable)
    : link(link),
      area(area),
      programBase(programBase),
      data(std::move(data)),
      zoneTable(std::move(zoneTable)),
      statusText(kErasingText),
      resultText("Not done")
{
}

UserDownload::Phase UserDownload::CurrentPhase() const
{
    if (IsFinished())
        return Phase::Finished;
    if (erasing)
        return Phase::Erasing;
    if (programming)
        return Phase::Programming;
    return Phase::Idle;
}

UserDownload::Progress UserDownload::CurrentProgress() const
{
    const auto phase = CurrentPhase();
    if (phase == Phase::Erasing)
        return {phase, eraseOffset, area.length};
    return {phase, written, std::uint32_t(data.size())};
}

ProcedureProgress UserDownload::Bar() const
{
    return {0, data.size(), barPosition};
}

ProcedureProgress UserDownload::Work() const
{
    const Progress progress = CurrentProgress();
    return {0, progress.maximum, progress.position};
}

std::chrono::milliseconds UserDownload::PauseHint() const
{
    return eraseSent ? kErasePollPause : std::chrono::milliseconds(0);
}

void UserDownload::Tick()
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

void UserDownload::Abort()
{
    if (IsFinished())
        return;
    erasing = false;
    eraseSent = false;
    programming = false;
}

void UserDownload::EraseTick()
{
    if (!eraseSent) {
        eraseSent = true;
        if (!link.EraseFlash(area.address + eraseOffset))
            Fail(Result::NoAnswer);
        return;
    }
    std::uint8_t status = 0;
    if (!link.ReadFlashStatus(status)) {
        Fail(Result::NoAnswer);
        return;
    }
    if (status == 1)
        return;  // busy: ask again on the next tick
    if (status != 0) {
        Fail(Result::EraseStatus, status);
        return;
    }
    eraseSent = false;
    eraseOffset += area.eraseStep;
    if (eraseOffset < area.length)
        return;
    erasing = false;
    programming = true;
    statusText = kProgrammingText;
}

void UserDownload::ProgramTick()
{
    barPosition = written;
    const auto length = std::uint32_t(data.size());
    if (written >= length) {
        statusText = kStandbyText;
        barPosition = 0;
        programming = false;
        result = Result::Done;
        resultText = "Done";
        return;
    }
    std::uint8_t status = 0;
    const std::uint32_t remaining = length - written;
    if (remaining > kBlockSize) {
        if (!link.ProgramFlashBlock(programBase + written, kBlockSize, data.data() + written, status)) {
            Fail(Result::NoAnswer);
            return;
        }
        written += kBlockSize;
        if (status != 0)
            Fail(Result::ProgramStatus, status);
        return;
    }
    // The last block, then the zone table at the start of the user area.
    if (!link.ProgramFlashBlock(programBase + written, remaining, data.data() + written, status)) {
        Fail(Result::NoAnswer);
        return;
    }
    if (status != 0) {
        Fail(Result::ProgramStatus, status);
        return;
    }
    if (!link.ProgramFlashBlock(area.address, unsigned(zoneTable.size()), zoneTable.data(), status)) {
        Fail(Result::NoAnswer);
        return;
    }
    written = length;
    if (status != 0)
        Fail(Result::ProgramStatus, status);
}

void UserDownload::Fail(Result kind, std::uint8_t status)
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
    case Result::NotDone:
    case Result::Done:
        break;
    }
}
