#pragma once

#include "procedures/RunProcedure.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class DeviceLink;
class Prompts;
struct MachineInfo;

// The once-only fields of the factory data block, and the machine panel's
// other controls that talk to the machine: the hardware options write, the
// power requests and the programming-mode line.

enum class OnceOnlyField { SerialNumber, MachineName };

// A field's bytes as the machine stores them, or why the text cannot be
// written. The text is trimmed of blanks, tabs, CR and LF at both ends.
//   serial number: 9 bytes, the characters right-aligned behind blanks, then a zero byte;
//   machine name: 33 bytes, the characters, a zero byte, 0xFF up to byte 31, a zero byte at 32.
// One byte per character: a character outside Latin-1 is refused, as is a
// control character (C0, DEL, C1), a text longer than the field (8 or 32
// characters), one that is empty, and one whose bytes would read back as a
// blank field (all of it 0xFF: 'ÿ').
struct FieldBytes {
    std::vector<std::uint8_t> bytes;
    std::string refusal;  // UTF-8 (it may quote the text); empty when the bytes are there
    bool empty = false;   // the refusal is the field's "... is empty !"
};
FieldBytes PrepareField(OnceOnlyField field, const QString& text);

// The characters the field takes: 8 or 32.
int FieldLength(OnceOnlyField field);

// Why a readout lets no once-only field be written. Each has its own text.
enum class FieldRefusal {
    None,
    NoAnswer,        // "No answer"
    NoFactoryData,   // "Factory data must be downloaded first"
    AlreadyWritten,  // "Serial number is already written", "Machine name is already written"
};
struct FieldCheck {
    FieldRefusal refusal = FieldRefusal::None;
    const char* text = "";  // empty when the field may be written
};
// Whether the readout in `info` lets the field be written: the machine
// answered, its factory data was read and the field is still blank.
FieldCheck CheckFieldWrite(OnceOnlyField field, const MachineInfo& info);

enum class WriteResult { Done, NoAnswer, BadStatus };
// "Done", "No answer", "Bad status while programming".
const char* WriteResultText(WriteResult result);

// The hardware options as the masked edit displays them ("0x100000": its
// blanks shown as 0), scanned as one hexadecimal number with an optional 0x,
// as "%x" scans; nothing when no number can be read.
std::optional<std::uint32_t> ScanHardwareOptions(const QString& displayed);

// What one "Write it !" of the machine panel writes: the bytes its text gives
// and where they go in the factory data block, or why the text cannot be
// written; the question asked first; the once-only field whose readout check
// comes before the question.
struct FieldWrite {
    std::uint32_t offset = 0;  // from factoryDataAddress
    std::vector<std::uint8_t> bytes;
    std::string refusal;                 // UTF-8; empty when the bytes are there
    const char* confirmation = nullptr;  // nothing: written without a question
    // Under the question, the text exactly as the field will hold it for
    // ever, padding included (UTF-8): Serial number: " SN-0042".
    std::string informative;
    std::optional<OnceOnlyField> onceOnly;
};
// A once-only field's write: PrepareField of the text; "Once it's been
// written, serial number can not be changed, Are you sure ?" ...; its check.
FieldWrite OnceOnlyWrite(OnceOnlyField field, const QString& text);
// The hardware options' write: the 3 bytes of `options`, least significant
// first; never refused, no question, no check.
FieldWrite HardwareOptionsWrite(std::uint32_t options);

// Where a "Write it !" stopped.
enum class FieldWriteStop {
    TextRefused,   // the text cannot be written: its error shown, nothing read or sent
    NotRead,       // the front end's readout did not run; it said why
    Refused,       // the readout lets no write: `refusal`, its error shown
    NotConfirmed,  // No to the question: nothing sent
    Sent,          // the write went out: `result`, its error shown unless Done
};
struct FieldWriteOutcome {
    FieldWriteStop stop = FieldWriteStop::TextRefused;
    FieldRefusal refusal = FieldRefusal::None;
    WriteResult result = WriteResult::Done;
    bool Sent() const { return stop == FieldWriteStop::Sent; }
};

// What the readout after a once-only write whose reply was lost found.
enum class LostReplyVerdict {
    NoAnswer,      // no readout, or the field still blank: "No answer"
    AsWritten,     // the field reads back as sent: the write was done
    NotAsWritten,  // the field holds something else
};
struct LostReplyOutcome {
    LostReplyVerdict verdict = LostReplyVerdict::NoAnswer;
    // "The reply to the write was lost : Serial number reads back as written",
    // or "... reads back as 'TEXT', not as written" with the field's
    // characters as read (Latin-1, control characters included); empty for
    // NoAnswer.
    std::string text;
};

// How long the readout after a once-only write whose reply was lost is tried
// again. The machine answers in order: a late reply holds back the answers
// to the wake-ups sent after it, so no readout gets through before it has
// come, and the bytes it then brings are purged by the next wake-up. The
// machine programs a field in milliseconds; a reply later than this (a
// machine finishing an erase first) is taken as lost.
inline constexpr std::chrono::seconds kLateReplyHold{10};

// What the machine panel's write buttons, "Power Off", "Program loader" and
// "Force programming mode" do, on a link and the MachineInfo of its machine.
class MachineControls {
public:
    MachineControls(DeviceLink& link, MachineInfo& info);

    // The readout of a front end that has had none before (the command
    // line), run once the text is accepted. False when it refused to run
    // (and said why): nothing is read, asked or sent.
    using ReadoutFirst = std::function<bool()>;

    // The one "Write it !", for the window and the command line: an error
    // box when the text cannot be written; `readoutFirst`, if given; for a
    // once-only field, an error box when the readout in MachineInfo lets no
    // write (the window's panel shows the button only when it does); the
    // question, if any (No: nothing happens); the write at
    // factoryDataAddress + offset, and an error box for a failed one.
    FieldWriteOutcome Write(const FieldWrite& write, Prompts& prompts, const ReadoutFirst& readoutFirst = {});

    // The window's "Write it !" of a once-only field: Write of OnceOnlyWrite.
    // True when a write was sent: the full readout follows.
    bool WriteField(OnceOnlyField field, const QString& text, Prompts& prompts);
    // After `write`, a once-only field's write whose reply was lost (none,
    // late, corrupted, or followed by surplus bytes): the full readout into
    // MachineInfo, again until it reads the factory data, `stop` returns
    // true, or kLateReplyHold has passed on `clock`; then the field as read
    // tells what became of the write. The window shows its "No answer" box
    // instead and reads the machine once.
    LostReplyOutcome ReadBackLostReply(const FieldWrite& write, const ProcedureClock& clock,
                                       const std::function<bool()>& stop);
    // The hardware options' "Write it !": the displayed text scanned into
    // MachineInfo.hardwareOptions (kept when nothing scans), then Write of
    // HardwareOptionsWrite. Always sent: the full readout follows.
    bool WriteHardwareOptions(const QString& displayed, Prompts& prompts);
    // A fresh wake-up, then the power request: 0 switches the machine off, 1
    // asks for the program loader. True when the machine acknowledged.
    bool PowerControl(std::uint8_t mode);
    // The programming-mode line (RTS). False when the port could not set it.
    bool ForceProgrammingMode(bool on);

private:
    DeviceLink& link;
    MachineInfo& info;
};
