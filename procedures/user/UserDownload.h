#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class DeviceLink;
struct MachineInfo;
struct UserImage;

// Result of the last user download, for the main window: "Not done" from the
// start of a download until it ends, then "Done", "No answer",
// "bad status while erasing : 0x%02X", "bad status while programming : 0x%02X"
// or "Aborted". Process-wide; empty before the first download.
extern std::string UserResultText;

// The user program download: erases the user area step by step, writes the
// prepared image at its programBase in blocks of 240 bytes, and with the last
// block writes the zone table at the start of the user area.
//
// A front end calls Tick() periodically (the window every kTickInterval; a
// command line may run ticks back to back, but should pause a few
// milliseconds between ticks while ErasePending() is true). Each tick does one
// exchange with the machine, two in the tick of the last block. Between ticks
// the front end reads CurrentPhase(), Progress() and StatusText(). The
// download never prints, shows or sleeps.
class UserDownload {
public:
    static constexpr std::chrono::milliseconds kTickInterval{60};
    static constexpr std::uint32_t kBlockSize = 240;

    enum class Phase {
        Erasing,      // erasing the user area
        Programming,  // writing data blocks (and the zone table with the last)
        Idle,         // aborted; the next tick ends the download with "Aborted"
        Finished,     // ended: see Outcome()
    };

    enum class Result {
        NotDone,        // still running (or closed before its end)
        Done,           // everything written
        NoAnswer,       // a request failed
        EraseStatus,    // ReadFlashStatus reported a failed erase
        ProgramStatus,  // ProgramFlashBlock reported a non-zero status
        Aborted,
    };

    struct Progress {
        Phase phase;
        // Erasing: offset of the erase under way from userAreaAddress, out of
        // userAreaLength. Otherwise: data bytes written, out of the data length.
        std::uint32_t position;
        std::uint32_t maximum;
    };

    // Starts a download, as the dialog does when it is shown: the result text
    // becomes "Not done", the erase phase begins at offset 0. The image must
    // be loaded and prepared (PrepareUserImage); the data, zone table and
    // addresses are taken now, so later changes to the image or to the
    // MachineInfo do not reach a running download. `resultText` is
    // UserResultText unless a caller keeps its own.
    UserDownload(DeviceLink& link, const UserImage& image, const MachineInfo& info,
                 std::string& resultText = UserResultText);
    UserDownload(const UserDownload&) = delete;
    UserDownload& operator=(const UserDownload&) = delete;

    // What one timer tick does. Does nothing once finished.
    void Tick();
    // The Abort button (or Esc): the next tick ends the download with "Aborted".
    // Does nothing once finished.
    void Abort();

    Phase CurrentPhase() const;
    bool IsFinished() const { return result != Result::NotDone; }
    Result Outcome() const { return result; }
    Progress CurrentProgress() const;
    // An erase has been acknowledged and its completion is being polled.
    bool ErasePending() const { return eraseSent; }
    // The dialog's status label: "Erasing...", "Programming..." or "Stanby".
    const char* StatusText() const;
    // "Not done" while running, then the result text.
    const std::string& ResultText() const { return resultText; }
    // Status byte of a bad-status outcome, 0 otherwise.
    std::uint8_t FailedStatus() const { return failedStatus; }

private:
    void EraseTick();
    void ProgramTick();
    void Fail(Result kind, std::uint8_t status = 0);

    DeviceLink& link;
    std::string& resultText;

    // Taken at the start.
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> zoneTable;
    std::uint32_t programBase;
    std::uint32_t userAreaAddress;
    std::uint32_t userAreaLength;
    std::uint32_t eraseStep;

    // Procedure state.
    bool erasing = true;
    bool eraseSent = false;
    std::uint32_t eraseOffset = 0;
    bool programming = false;
    std::uint32_t written = 0;
    const char* statusText = "Erasing...";
    Result result = Result::NotDone;
    std::uint8_t failedStatus = 0;
};
