#pragma once

#include "app/ToolContext.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DeviceLink;
class Prompts;

// The once-only fields of the factory data block, and the machine panel's
// other controls that talk to the machine: the hardware options write, the
// power requests and the programming-mode line.

enum class OnceOnlyField { SerialNumber, MachineName };

// A field's bytes as the machine stores them, or why the text cannot be
// written. The text is trimmed of blanks, tabs, CR and LF at both ends.
//   serial number: 9 bytes, the characters right-aligned behind blanks, then a zero byte;
//   machine name: 33 bytes, the characters, a zero byte, 0xFF up to byte 31, a zero byte at 32.
// One byte per character: a character outside Latin-1 is refused, as is a
// text longer than the field (8 or 32 characters) or one that is empty.
struct FieldBytes {
    std::vector<std::uint8_t> bytes;
    std::string refusal;  // UTF-8 (it may quote the text); empty when the bytes are there
    bool empty = false;   // the refusal is the field's "... is empty !"
};
FieldBytes PrepareField(OnceOnlyField field, const QString& text);

// The characters the field takes: 8 or 32.
int FieldLength(OnceOnlyField field);
// Where the field lies: factoryDataAddress + 9 or + 18.
std::uint32_t FieldAddress(OnceOnlyField field, const MachineInfo& info);
// The readout found the field written.
bool FieldWritten(OnceOnlyField field, const MachineInfo& info);
// "Once it's been written, serial number can not be changed, Are you sure ?" ...
const char* ConfirmationText(OnceOnlyField field);
// "Serial number is already written" ...
const char* AlreadyWrittenText(OnceOnlyField field);

enum class WriteResult { Done, NoAnswer, BadStatus };
// One ProgramFlashBlock of the bytes at `address`.
WriteResult WriteFlashField(DeviceLink& link, std::uint32_t address, const std::vector<std::uint8_t>& bytes);
// "Done", "No answer", "Bad status while programming".
const char* WriteResultText(WriteResult result);

// The hardware options as the masked edit displays them ("0x100000": its
// blanks shown as 0), scanned as one hexadecimal number with an optional 0x,
// as "%x" scans; nothing when no number can be read.
std::optional<std::uint32_t> ScanHardwareOptions(const QString& displayed);

// What the machine panel's write buttons, "Power Off", "Program loader" and
// "Force programming mode" do, on the context's link and MachineInfo.
class MachineControls {
public:
    explicit MachineControls(const ToolContext& context);

    // A "Write it !" of a once-only field: the text checked (an error box when
    // it cannot be written), the confirmation (No: nothing happens), the
    // write and an error box for a failed one. True when a write was sent:
    // the full readout follows.
    bool WriteField(OnceOnlyField field, const QString& text, Prompts& prompts);
    // The hardware options' "Write it !": the displayed text scanned into
    // MachineInfo.hardwareOptions (kept when nothing scans), written without
    // a question. Always sent: the full readout follows.
    bool WriteHardwareOptions(const QString& displayed, Prompts& prompts);
    // A fresh wake-up, then the power request: 0 switches the machine off, 1
    // asks for the program loader. True when the machine acknowledged.
    bool PowerControl(std::uint8_t mode);
    // The programming-mode line (RTS). False when the port could not set it.
    bool ForceProgrammingMode(bool on);

private:
    void Report(WriteResult result, Prompts& prompts);

    ToolContext context;
};
