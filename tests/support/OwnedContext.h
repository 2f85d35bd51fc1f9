#pragma once

#include "BootImage.h"
#include "FactoryImage.h"
#include "MachineInfo.h"
#include "SymbolTable.h"
#include "ToolContext.h"
#include "UserImage.h"

#include <string>

// A test's own set of the objects a program holds process-wide, and the
// context over them and a link.
struct OwnedContext {
    std::string portName;
    FactoryImage factoryImage;
    UserImage userImage;
    BootImage bootImage;
    MachineInfo machineInfo;
    std::string factoryResultText;
    std::string userResultText;
    SymbolTable symbols;

    ToolContext Over(DeviceLink& link)
    {
        return {link, portName, factoryImage, userImage, bootImage, machineInfo, factoryResultText, userResultText,
                symbols};
    }
};
