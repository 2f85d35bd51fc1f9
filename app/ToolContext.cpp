#include "ToolContext.h"

#include "BootImage.h"
#include "DeviceLink.h"
#include "FactoryImage.h"
#include "MachineInfo.h"
#include "ResultTexts.h"
#include "SymbolTable.h"
#include "UserImage.h"

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
