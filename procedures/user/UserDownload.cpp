#include "UserDownload.h"

#include "DeviceLink.h"
#include "MachineInfo.h"
#include "UserImage.h"

#include <cstdio>

std::string UserResultText;

namespace {

constexpr const char* kErasingText = "Erasing...";
constexpr const char* kProgrammingText = "Programming...";
constexpr const char* kStandbyText = "Stanby";

std::string StatusByteText(const char* format, std::uint8_t status)
{
    char text[48];
    std::snprintf(text, sizeof text, format, unsigned(status));
    return text;
}

}  // namespace

UserDownload::UserDownload(DeviceLink& link, const UserImage& image, const MachineInfo& info,
                           std::string& resultText)
    : link(link),
      resultText(resultText),
      data(image.data),
      zoneTable(image.ZoneTable()),
      programBase(image.programBase),
      userAreaAddress(info.userAreaAddress),
      userAreaLength(info.userAreaLength),
      eraseStep(info.eraseStep)
{
    resultText = "Not done";
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
        return {phase, eraseOffset, userAreaLength};
    return {phase, written, std::uint32_t(data.size())};
}

const char* UserDownload::StatusText() const
{
    return statusText;
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
        if (!link.EraseFlash(userAreaAddress + eraseOffset))
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
    eraseOffset += eraseStep;
    if (eraseOffset < userAreaLength)
        return;
    erasing = false;
    programming = true;
    statusText = kProgrammingText;
}

void UserDownload::ProgramTick()
{
    const auto length = std::uint32_t(data.size());
    if (written >= length) {
        statusText = kStandbyText;
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
    if (!link.ProgramFlashBlock(userAreaAddress, unsigned(zoneTable.size()), zoneTable.data(), status)) {
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
        resultText = StatusByteText("bad status while erasing : 0x%02X", status);
        break;
    case Result::ProgramStatus:
        resultText = StatusByteText("bad status while programming : 0x%02X", status);
        break;
    case Result::Aborted:
        resultText = "Aborted";
        break;
    case Result::NotDone:
    case Result::Done:
        break;
    }
}
