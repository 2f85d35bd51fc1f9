#pragma once

#include "UserDownload.h"

#include <memory>
#include <string>

class DeviceLink;
struct MachineInfo;
struct UserImage;

// What the user program panel does around a download, shared by the window
// and the command-line front end.

// Why a download is not started. Each has its own text (RefusalText).
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

// After a successful load: keeps an untouched copy of the data in
// dataAsLoaded, from which every download restores the image.
void KeepUserImageAsLoaded(UserImage& image);

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

// What pressing "Download" does up to the download itself.
struct UserDownloadStart {
    UserDownloadCheck check;                  // refusal and its text, if refused
    std::unique_ptr<UserDownload> download;   // started, when accepted
};

// Runs the full readout into `info`, the checks, PrepareUserImage, and hands
// back a started download (UserResultText reads "Not done") or the refusal,
// to be shown where the download's result goes. The front end then ticks the
// download to its end, shows its result text and runs the full readout again.
UserDownloadStart StartUserDownload(DeviceLink& link, MachineInfo& info, UserImage& image,
                                    std::string& resultText = UserResultText);
// The same on TheMachineInfo() and TheUserImage().
UserDownloadStart StartUserDownload(DeviceLink& link);
