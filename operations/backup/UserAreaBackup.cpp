#include "operations/backup/UserAreaBackup.h"

#include "operations/readout/MachineInfo.h"
#include "common/TextFormat.h"
#include "procedures/user/UserDownload.h"

#include <algorithm>

MachineBackup BackupOf(const MachineInfo& info, std::vector<std::uint8_t> userArea)
{
    MachineBackup backup;
    backup.hardIdent = info.hardIdent;
    backup.flashIdent = info.flashIdent;
    backup.hardwareVersion = info.hardwareVersion;
    backup.hardwareOptions = info.hardwareOptions;
    std::copy(info.serialNumber.begin(), info.serialNumber.end(), backup.serialNumber.begin());
    std::copy(info.machineName.begin(), info.machineName.end(), backup.machineName.begin());
    backup.miniBootVersion = info.miniBootVersion;
    backup.programLoaderVersion = info.programLoaderVersion;
    backup.mainBootVersion = info.mainBootVersion;
    backup.program1Version = info.program1Version;
    backup.program2Version = info.program2Version;
    backup.userAreaAddress = info.userAreaAddress;
    backup.userAreaLength = info.userAreaLength;
    backup.eraseStep = info.eraseStep;
    backup.userArea = std::move(userArea);
    return backup;
}

ActionStart CheckUserArea(const MachineInfo& info)
{
    if (!info.answered)
        return ActionStart::Refuse(ActionRefusal::NoAnswer, "No answer");
    if (!info.factoryInfoRead)
        return ActionStart::Refuse(ActionRefusal::MachineRefused, "Factory data must be downloaded first");
    return {};
}

ActionStart StartRestore(DeviceLink& link, MachineInfo& info, const MachineBackup& backup)
{
    ReadMachineInfo(link, info);
    if (ActionStart refused = CheckUserArea(info); refused.refusal != ActionRefusal::None)
        return refused;
    if (backup.hardIdent != info.hardIdent || backup.flashIdent != info.flashIdent)
        return ActionStart::Refuse(
            ActionRefusal::NotLoaded,
            FormatText("Backup of another machine type : hard ident %08X, flash ident %08X; this machine's are "
                       "%08X and %08X",
                       unsigned(backup.hardIdent), unsigned(backup.flashIdent), unsigned(info.hardIdent),
                       unsigned(info.flashIdent)));
    if (backup.userAreaAddress != info.userAreaAddress || backup.userAreaLength != info.userAreaLength)
        return ActionStart::Refuse(
            ActionRefusal::MachineRefused,
            FormatText("User area differs : the backup's is 0x%X bytes at 0x%06X, this machine's 0x%X bytes at 0x%06X",
                       unsigned(backup.userAreaLength), unsigned(backup.userAreaAddress),
                       unsigned(info.userAreaLength), unsigned(info.userAreaAddress)));
    if (info.eraseStep == 0 && info.userAreaLength != 0)
        return ActionStart::Refuse(ActionRefusal::MachineRefused, "Bad factory data : erase step is 0");
    const UserArea area{info.userAreaAddress, info.userAreaLength, info.eraseStep};
    return ActionStart::Started(
        std::make_unique<UserDownload>(link, area, RestoreBlocks(backup.userAreaAddress, backup.userArea)),
        {RestoredUserArea(backup)});
}

FlashSegment RestoredUserArea(const MachineBackup& backup)
{
    return {backup.userAreaAddress, backup.userArea};
}
