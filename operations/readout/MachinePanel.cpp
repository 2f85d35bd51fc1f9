#include "operations/readout/MachinePanel.h"

#include <algorithm>

namespace {

// Rows top to bottom, with the caption each row carries on the panel.
struct RowCaption {
    PanelRowId id;
    const char* caption;
};

constexpr RowCaption kRows[] = {
    {PanelRowId::HardIdent, "Hard/flash Ident :"},
    {PanelRowId::MiniBootVersion, "Mini boot version :"},
    {PanelRowId::HardwareVersion, "Hardware version :"},
    {PanelRowId::HardwareOptions, "Hardware options"},
    {PanelRowId::SerialNumber, "Serial number :"},
    {PanelRowId::MachineName, "Machine name :"},
    {PanelRowId::ProgramLoaderVersion, "Program loader version :"},
    {PanelRowId::FactoryDrivers, "Factory drivers :"},
    {PanelRowId::MainBootVersion, "Main boot version :"},
    {PanelRowId::Program1Version, "Program 1 version :"},
    {PanelRowId::Program2Version, "Program 2 version :"},
    {PanelRowId::Drivers, "Drivers :"},
};

std::string RowText(PanelRowId id, const MachineInfo& info, bool factoryShown, bool mainShown)
{
    switch (id) {
    case PanelRowId::HardIdent:
        return info.answered ? info.identText : std::string();
    case PanelRowId::MiniBootVersion:
        return factoryShown ? info.miniBootText : std::string();
    case PanelRowId::HardwareVersion:
        return factoryShown ? info.hardwareVersionText : std::string();
    case PanelRowId::HardwareOptions:
        return factoryShown ? info.hardwareOptionsText : std::string(kBlankHardwareOptionsText);
    case PanelRowId::SerialNumber:
        return factoryShown ? FieldText(info.serialNumber.data(), info.serialNumber.size()) : std::string();
    case PanelRowId::MachineName:
        return factoryShown ? FieldText(info.machineName.data(), info.machineName.size()) : std::string();
    case PanelRowId::ProgramLoaderVersion:
        return factoryShown ? info.programLoaderText : std::string();
    case PanelRowId::FactoryDrivers:
        return factoryShown ? info.factoryDriversText : std::string();
    case PanelRowId::MainBootVersion:
        return mainShown ? info.mainBootText : std::string();
    case PanelRowId::Program1Version:
        return mainShown ? info.program1Text : std::string();
    case PanelRowId::Program2Version:
        return mainShown ? info.program2Text : std::string();
    case PanelRowId::Drivers:
        return mainShown ? info.driversText : std::string();
    }
    return {};
}

}  // namespace

const char* PanelRowCaption(PanelRowId id)
{
    for (const auto& row : kRows)
        if (row.id == id)
            return row.caption;
    return "";
}

std::string FieldText(const std::uint8_t* bytes, std::size_t size)
{
    const auto end = std::find(bytes, bytes + size, std::uint8_t(0));
    return std::string(bytes, end);
}

MachinePanel FillMachinePanel(const MachineInfo& info, bool userImageLoaded)
{
    MachinePanel panel;
    panel.statusText = info.statusText;
    panel.factoryShown = info.answered && info.factoryInfoRead;
    panel.userDownloadEnabled = panel.factoryShown && userImageLoaded;
    panel.mainShown = info.answered && info.mainInfoRead;
    if (panel.factoryShown) {
        panel.serialEditEnabled = panel.serialWriteVisible = !info.serialWritten;
        panel.nameEditEnabled = panel.nameWriteVisible = !info.nameWritten;
    }
    for (const auto& row : kRows)
        panel.rows.push_back({row.id, row.caption, RowText(row.id, info, panel.factoryShown, panel.mainShown)});
    return panel;
}
