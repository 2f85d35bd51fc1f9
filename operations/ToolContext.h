#pragma once

#include "images/FileKinds.h"

#include <string>

class DeviceLink;
struct BootImage;
struct FactoryImage;
struct MachineInfo;
class SymbolTable;
struct UserImage;

// The process-wide objects, by reference, as one value that a program's
// main() builds once and hands to its windows or its command line. Nothing
// else reaches the process-wide objects by itself, so a test builds its own
// context over the in-process machine model.
struct ToolContext {
    DeviceLink& link;
    std::string& portName;  // "com1" .. "com8", or empty: no port selected
    FactoryImage& factoryImage;
    UserImage& userImage;
    BootImage& bootImage;
    MachineInfo& machineInfo;
    std::string& factoryResultText;
    std::string& userResultText;
    SymbolTable& symbols;

    // The four objects a file load lands in.
    LoadTargets Targets() const
    {
        return {.userImage = userImage, .factoryImage = factoryImage, .bootImage = bootImage, .symbols = symbols};
    }
};

// The process-wide objects, over `link`: the window's is TheDeviceLink(), the
// command line builds its own over the port backend its options ask for.
ToolContext ProcessContext(DeviceLink& link);
