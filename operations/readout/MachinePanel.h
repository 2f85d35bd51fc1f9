#pragma once

#include "operations/readout/MachineInfo.h"

#include <cstddef>
#include <string>
#include <vector>

// What the machine information panel shows for a MachineInfo, so that the
// window and the command-line front end show the same captions and texts.

enum class PanelRowId {
    HardIdent,             // HardIdentLabel
    MiniBootVersion,       // MiniBootVersionLabel
    HardwareVersion,       // HardwareVersionLabel
    HardwareOptions,       // HardwareOptionsMaskEdit
    SerialNumber,          // SerialNumberEdit
    MachineName,           // MachineNameEdit
    ProgramLoaderVersion,  // ProgramLoaderVersionLabel
    FactoryDrivers,        // FactoryDriversListLabel
    MainBootVersion,       // MainBootVersionLabel
    Program1Version,       // MainProgramVersionLabel
    Program2Version,       // MainProgram2VersionLabel
    Drivers,               // DriversListLabel
};

struct PanelRow {
    PanelRowId id;
    std::string caption;  // as the caption label shows it ("Hard/flash Ident :", "Hardware options", ...)
    std::string text;     // the control's text, empty where the panel is blank
};

struct MachinePanel {
    std::string statusText;     // RefreshStatusLabel
    std::vector<PanelRow> rows; // top to bottom
    // answered and factoryInfoRead: the factory rows are filled.
    bool factoryShown = false;
    // The user panel's "Download" (ProgramUserButton): the factory rows are
    // filled and a user image is loaded.
    bool userDownloadEnabled = false;
    // answered and mainInfoRead: the main boot, program and driver rows are filled.
    bool mainShown = false;
    // SerialNumberEdit / MachineNameEdit enabled (the field is blank), and their
    // "Write it !" buttons visible (disabled until the user edits the text).
    bool serialEditEnabled = false;
    bool nameEditEnabled = false;
    bool serialWriteVisible = false;
    bool nameWriteVisible = false;
};

// Text of the hardware options edit when the factory rows are blank.
constexpr const char* kBlankHardwareOptionsText = "0xFFFFFF";

const char* PanelRowCaption(PanelRowId id);
// `userImageLoaded`: a user program has been loaded (UserImage.loaded).
MachinePanel FillMachinePanel(const MachineInfo& info, bool userImageLoaded);

// Bytes of a fixed field up to its first zero byte or its end, as text.
std::string FieldText(const std::uint8_t* bytes, std::size_t size);
