#pragma once

#include "operations/ActionStart.h"
#include "images/BackupFile.h"
#include "procedures/FlashSegment.h"

#include <cstdint>
#include <vector>

class DeviceLink;
struct MachineInfo;

// The backup of the machine that a full readout found: its identities,
// factory data and versions, and its user area's bytes as read.
MachineBackup BackupOf(const MachineInfo& info, std::vector<std::uint8_t> userArea);

// Whether a full readout found a user area: refused "No answer", or
// "Factory data must be downloaded first" when the machine has no factory
// directory; ActionRefusal::None when it has one.
ActionStart CheckUserArea(const MachineInfo& info);

// A restore of `backup`: the full readout, then the checks (a backup of
// other identities is the file's refusal, ActionRefusal::NotLoaded; a
// machine whose user area lies elsewhere or has another length, the
// machine's), then the user download's erase of the area and the backup's
// blocks that are not all erased; what a verify then compares is the whole
// user area (RestoredUserArea).
ActionStart StartRestore(DeviceLink& link, MachineInfo& info, const MachineBackup& backup);

// What the verify after a restore compares: the whole user area with the
// backup's bytes, the blocks the restore left to the erase (all 0xFF)
// included, so that an erase that did nothing is found as well as a block
// that was written wrong.
FlashSegment RestoredUserArea(const MachineBackup& backup);
