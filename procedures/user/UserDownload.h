#pragma once

#include "Procedure.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class DeviceLink;

// Where a user program goes: the user area as the machine's factory
// directory describes it.
struct UserArea {
    std::uint32_t address = 0;    // flash address of the user area
    std::uint32_t length = 0;     // length of the range to erase
    std::uint32_t eraseStep = 0;  // distance between successive erase addresses
};

// The user program download: erases the user area step by step, writes the
// prepared program at its base address in blocks of 240 bytes, and with the
// last block writes the zone table at the start of the user area.
class UserDownload final : public Procedure {
public:
    static constexpr std::chrono::milliseconds kTickInterval{60};
    static constexpr std::uint32_t kBlockSize = 240;
    // While an erase is polled, a front end that ticks back to back waits this long.
    static constexpr std::chrono::milliseconds kErasePollPause{5};

    using Result = ProcedureResult;

    enum class Phase {
        Erasing,      // erasing the user area
        Programming,  // writing data blocks (and the zone table with the last)
        Idle,         // aborted; the next tick ends the download with "Aborted"
        Finished,     // ended: see Outcome()
    };

    struct Progress {
        Phase phase;
        // Erasing: offset of the erase under way from the user area's
        // address, out of its length. Otherwise: data bytes written, out of
        // the data length.
        std::uint32_t position;
        std::uint32_t maximum;
    };

    // Starts a download, as the dialog does when it is shown: the result text
    // reads "Not done", the erase phase begins at offset 0. `data` is the
    // prepared (restored and relocated) program, written from `programBase`;
    // `zoneTable` goes to the start of the user area with the last block.
    UserDownload(DeviceLink& link, const UserArea& area, std::uint32_t programBase, std::vector<std::uint8_t> data,
                 std::vector<std::uint8_t> zoneTable);
    UserDownload(const UserDownload&) = delete;
    UserDownload& operator=(const UserDownload&) = delete;

    void Tick() override;
    void Abort() override;
    bool IsFinished() const override { return result != Result::NotDone; }
    Result Outcome() const override { return result; }
    const std::string& ResultText() const override { return resultText; }
    // "Erasing...", "Programming..." or "Stanby".
    const char* StatusText() const override { return statusText; }
    // 0 during the erase phase, then the bytes written as the tick found
    // them, and 0 again once done; out of the data length.
    ProcedureProgress Bar() const override;
    ProcedureProgress Work() const override;
    std::chrono::milliseconds TickInterval() const override { return kTickInterval; }
    std::chrono::milliseconds PauseHint() const override;

    Phase CurrentPhase() const;
    Progress CurrentProgress() const;
    // Status byte of a bad-status outcome, 0 otherwise.
    std::uint8_t FailedStatus() const { return failedStatus; }

private:
    void EraseTick();
    void ProgramTick();
    void Fail(Result kind, std::uint8_t status = 0);

    DeviceLink& link;

    // Taken at the start.
    const UserArea area;
    const std::uint32_t programBase;
    const std::vector<std::uint8_t> data;
    const std::vector<std::uint8_t> zoneTable;

    // Procedure state.
    bool erasing = true;
    bool eraseSent = false;
    std::uint32_t eraseOffset = 0;
    bool programming = false;
    std::uint32_t written = 0;
    std::uint32_t barPosition = 0;
    const char* statusText;
    std::string resultText;
    Result result = Result::NotDone;
    std::uint8_t failedStatus = 0;
};
