#pragma once

#include "procedures/FlashSegment.h"
#include "procedures/Procedure.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Reads flash ranges back with ReadFlashBlock, one request of at most
// kMaxReadCount bytes a tick, the ranges one after the other. Ends "Done"
// with every byte read, "No answer" at the first request that fails, or
// "Aborted".
class FlashReadBack : public Procedure {
public:
    static constexpr std::uint32_t kMaxReadCount = 247;
    static constexpr std::chrono::milliseconds kTickInterval{60};

    struct Range {
        std::uint32_t address = 0;
        std::uint32_t length = 0;
    };

    FlashReadBack(DeviceLink& link, std::vector<Range> ranges);

    void Tick() override;
    void Abort() override;
    bool IsFinished() const override { return result != ProcedureResult::NotDone; }
    ProcedureResult Outcome() const override { return result; }
    const std::string& ResultText() const override { return resultText; }
    // "Reading..." while running, "Stanby" at the end.
    const char* StatusText() const override;
    // Bytes read out of the bytes to read.
    ProcedureProgress Bar() const override { return {0, total, done}; }
    ProcedureProgress Work() const override { return Bar(); }
    // The blocks read and their bytes.
    ProcedureCounts Counts() const override { return {0, blocks, done}; }
    std::chrono::milliseconds TickInterval() const override { return kTickInterval; }
    std::chrono::milliseconds PauseHint() const override { return std::chrono::milliseconds(0); }
    DeviceLink& Link() const override { return link; }

    // What was read of each range so far, in the order of the ranges.
    const std::vector<FlashSegment>& Read() const { return read; }

protected:
    // Once every byte is read: the outcome and its text. "Done" here.
    virtual void Finish();
    void End(ProcedureResult outcome, std::string text);

private:
    DeviceLink& link;
    std::vector<FlashSegment> read;  // the ranges' addresses, their bytes as read
    std::vector<std::uint32_t> lengths;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    std::uint64_t blocks = 0;
    std::size_t range = 0;
    bool aborted = false;
    ProcedureResult result = ProcedureResult::NotDone;
    std::string resultText = "Not done";
};

// A read back of what a download wrote, compared byte for byte: "Verified",
// or "Verify failed at 0xD2001A : wrote 0x5A, read 0xFF" at the first
// difference (ProcedureResult::VerifyFailed), "No answer", "Aborted".
class FlashVerify final : public FlashReadBack {
public:
    FlashVerify(DeviceLink& link, std::vector<FlashSegment> written);

    const char* StatusText() const override;

private:
    void Finish() override;

    const std::vector<FlashSegment> written;
};
