#pragma once

#include "operations/ActionStart.h"

#include <string>

class DeviceLink;
struct BootImage;
struct FactoryImage;
struct MachineInfo;
struct UserImage;

// What each download does up to its procedure: the readout before it, the
// checks of the machine against the file, and the procedure started, or the
// refusal with its text, to be shown where the download's result goes.

// Why a download is not started, in detail. Each has its own text.
enum class UserDownloadRefusal {
    None,
    NotLoaded,             // "No file loaded": no user image loaded and kept
    NoAnswer,              // "No answer"
    NoFactoryData,         // "Factory data must be downloaded first"
    IncompatibleHardware,  // "Incompatiblable hardware version"
    NoEraseStep,           // "Bad factory data : erase step is 0"
    TooLarge,              // "Program too large : %u bytes for a user area of %u bytes"
};

struct UserDownloadCheck {
    UserDownloadRefusal refusal = UserDownloadRefusal::None;
    std::string text;  // empty when the download may start
    bool Accepted() const { return refusal == UserDownloadRefusal::None; }
};

// The checks before a download, on a MachineInfo just read: the machine
// answered, its factory data is there, the hardware version matches the
// program's (bits 8 to 23), the user area can be erased in steps (a step of 0
// would erase the same place for ever) and zone table plus data fit in it.
UserDownloadCheck CheckUserDownload(const MachineInfo& info, const UserImage& image);

// Restores data from dataAsLoaded, sets programBase behind the zone table at
// the start of the user area and relocates the vectors: 0 and 0xFFFFFF become
// 0xFFFFFF, any other value v becomes v + programBase (24 bits). Vectors whose
// three bytes do not lie inside the data are left alone. False, with the image
// unchanged, when dataAsLoaded does not hold the loaded data.
bool PrepareUserImage(UserImage& image, const MachineInfo& info);

// What pressing "Download" does up to the download itself: the full readout
// into `info`, the checks, PrepareUserImage, then a started UserDownload or
// the refusal (NotLoaded, NoAnswer, or MachineRefused for the others), to be
// shown where the download's result goes. The front end then runs the
// download to its end (keeping the process-wide UserResultText in step),
// shows its result text and runs the full readout again.
ActionStart StartUserDownload(DeviceLink& link, MachineInfo& info, UserImage& image);

// The image is for this machine: the hard idents agree in all 32 bits, the
// flash idents in their low 16 bits.
bool IdentsMatch(const MachineInfo& info, const FactoryImage& image);

// What the factory download does up to its procedure: "No file loaded"
// (NotLoaded) without an image, the short readout (identity only) into
// `info`, "No answer", the ident check ("Incompatible ident : this file is not
// for this hardware", MachineRefused), then a started FactoryDownload.
ActionStart StartFactoryDownload(DeviceLink& link, MachineInfo& info, const FactoryImage& image);

// The boot: a BootStream of the loaded program (no readout before it), or
// NotLoaded "No file loaded" when no program is loaded that can be streamed.
ActionStart StartBoot(DeviceLink& link, const BootImage& image);
