#include "operations/ToolContext.h"

#include "operations/readout/MachineInfo.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "procedures/ResultTexts.h"

ToolContext ProcessContext(DeviceLink& link)
{
    return {
        .link = link,
        .portName = currentPortName,
        .factoryImage = TheFactoryImage(),
        .userImage = TheUserImage(),
        .bootImage = TheBootImage(),
        .machineInfo = TheMachineInfo(),
        .factoryResultText = FactoryResultText,
        .userResultText = UserResultText,
        .symbols = TheSymbolTable(),
    };
}
