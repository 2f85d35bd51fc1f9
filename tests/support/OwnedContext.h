#pragma once

#include "operations/ToolContext.h"
#include "operations/readout/MachineInfo.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"

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
