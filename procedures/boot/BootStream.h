#pragma once

#include "procedures/Procedure.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class DeviceLink;

// The boot procedure: streams a boot program, unframed, to the machine's
// resident loader: a header of the word count and the run address (3 bytes
// each, least significant first), then the P words from the run address up,
// at most 73 words (219 bytes) a tick. Nothing is read back. Where the port
// does not take the bytes, the stream stops there and says so.
class BootStream final : public Procedure {
public:
    static constexpr std::chrono::milliseconds kTickInterval{54};
    static constexpr std::uint32_t kWordsPerTick = 73;
    static constexpr std::size_t kWordBytes = 3;

    // `words`: the words for runAddress .. endAddress - 1, 3 bytes each as
    // they stand in the boot file (missing ones are sent as zeros).
    BootStream(DeviceLink& link, std::vector<std::uint8_t> words, std::uint32_t runAddress, std::uint32_t endAddress);

    // The header.
    void Start() override;
    // The next words, or, when all are sent, the end ("Done").
    void Tick() override;
    // Ends the stream at once: nothing more is sent ("Aborted").
    void Abort() override;

    bool IsFinished() const override { return result != ProcedureResult::NotDone; }
    ProcedureResult Outcome() const override { return result; }
    // "Not done", then "Done", "Aborted" or "Boot failed : the port did not take the bytes".
    const std::string& ResultText() const override { return resultText; }
    const char* StatusText() const override { return "Booting ..."; }
    // From runAddress to endAddress; the next address to send, as the tick found it.
    ProcedureProgress Bar() const override { return {runAddress, endAddress, barPosition}; }
    ProcedureProgress Work() const override { return {runAddress, endAddress, nextAddress}; }
    const char* WorkUnit() const override { return "words"; }
    // The ticks that sent words, and their bytes (the header not counted).
    ProcedureCounts Counts() const override
    {
        return {0, blocks, std::uint64_t(nextAddress - runAddress) * kWordBytes};
    }
    std::chrono::milliseconds TickInterval() const override { return kTickInterval; }
    std::chrono::milliseconds PauseHint() const override { return std::chrono::milliseconds(0); }
    DeviceLink& Link() const override { return link; }

private:
    // False, and the stream ended, when the port did not take them.
    bool Send(const std::uint8_t* bytes, std::size_t count);
    void End(ProcedureResult outcome, const char* text);

    DeviceLink& link;
    std::vector<std::uint8_t> words;
    const std::uint32_t runAddress;
    const std::uint32_t endAddress;
    std::uint32_t nextAddress;
    std::uint32_t barPosition;
    std::uint64_t blocks = 0;
    ProcedureResult result = ProcedureResult::NotDone;
    std::string resultText = "Not done";
};
