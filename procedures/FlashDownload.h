#pragma once

#include "procedures/FlashSegment.h"
#include "procedures/Procedure.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class DeviceLink;

// What the user and the factory downloads and the restore share: erase, one
// address after the other, each polled until the machine reports it done;
// then write the data segments one after the other, each in blocks of 240
// bytes from its address, and, where there is one, a trailer (the user
// program's zone table) in the tick of the last block.
// What erases they make is the downloads' own (EraseAddress, NextErase).
class FlashDownload : public Procedure {
public:
    static constexpr std::chrono::milliseconds kTickInterval{60};
    static constexpr std::uint32_t kBlockSize = 240;
    // While an erase is polled, a front end that ticks back to back waits this long.
    static constexpr std::chrono::milliseconds kErasePollPause{5};

    using Result = ProcedureResult;

    enum class Phase {
        Erasing,      // erasing
        Programming,  // writing data blocks (and the trailer with the last)
        Idle,         // aborted; the next tick ends the download with "Aborted"
        Finished,     // ended: see Outcome()
    };

    struct Progress {
        Phase phase;
        // Erasing: how far the erase has got (as the download counts it).
        // Otherwise: data bytes written, out of the data length.
        std::uint32_t position;
        std::uint32_t maximum;
    };

    void Tick() override;
    void Abort() override;
    bool Erasing() const override { return erasing; }
    void EraseTimedOut() override;
    bool IsFinished() const override { return result != Result::NotDone; }
    Result Outcome() const override { return result; }
    const std::string& ResultText() const override { return resultText; }
    // "Erasing...", "Programming (No erase)...", "Programming..." or "Stanby".
    const char* StatusText() const override { return statusText; }
    // 0 during the erase phase, then the bytes written as the tick found
    // them, and 0 again once done; out of the data length.
    ProcedureProgress Bar() const override;
    // Erasing: the erases done, out of all; then as CurrentProgress().
    ProcedureProgress Work() const override;
    const char* WorkUnit() const override { return CurrentPhase() == Phase::Erasing ? "erases" : "bytes"; }
    // The erases reported done; the data blocks written, and their bytes
    // (a block the machine answered with a bad status counts as written,
    // but for the last one, whose zone table is not written after it).
    ProcedureCounts Counts() const override { return counts; }
    std::chrono::milliseconds TickInterval() const override { return kTickInterval; }
    std::chrono::milliseconds PauseHint() const override;
    DeviceLink& Link() const override { return link; }

    Phase CurrentPhase() const;
    Progress CurrentProgress() const;
    // Status byte of a bad-status outcome, 0 otherwise.
    std::uint8_t FailedStatus() const { return failedStatus; }
    // Everything the download writes, in the order it writes it: the data
    // segments, then the trailer where there is one. What a verify compares.
    std::vector<FlashSegment> WrittenSegments() const;

protected:
    // `erases`: the download begins with an erase phase; without it, it
    // begins with programming and says so ("Programming (No erase)...").
    FlashDownload(DeviceLink& link, bool erases, std::uint32_t writeAddress, std::vector<std::uint8_t> data,
                  std::uint32_t trailerAddress, std::vector<std::uint8_t> trailer);
    // The same with data in segments; empty segments are left out.
    FlashDownload(DeviceLink& link, bool erases, std::vector<FlashSegment> segments, FlashSegment trailer);

    // The erase under way.
    virtual std::uint32_t EraseAddress() const = 0;
    // After an erase reported done: moves on to the next; false when it was the last.
    virtual bool NextErase() = 0;
    // How far the erase phase has got, and out of how much.
    virtual Progress EraseProgress() const = 0;
    // The erases done, out of all the download makes.
    virtual ProcedureProgress EraseCount() const = 0;

private:
    void EraseTick();
    void ProgramTick();
    void Fail(Result kind, std::uint8_t status = 0);
    // Moves past `count` bytes written of the current segment.
    void Advance(std::uint32_t count);

    DeviceLink& link;
    const std::vector<FlashSegment> segments;
    const FlashSegment trailer;
    const std::uint32_t length;  // of all data segments

    std::size_t segment = 0;          // the segment under way
    std::uint32_t segmentOffset = 0;  // bytes of it written

    bool erasing;
    bool eraseSent = false;
    bool programming;
    std::uint32_t written = 0;
    std::uint32_t barPosition = 0;
    ProcedureCounts counts;
    const char* statusText;
    std::string resultText = "Not done";
    Result result = Result::NotDone;
    std::uint8_t failedStatus = 0;
};
