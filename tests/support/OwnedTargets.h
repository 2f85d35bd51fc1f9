#pragma once

#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/FileKinds.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"

// A test's own objects that file loads land in, and the targets over them.
struct OwnedTargets {
    UserImage userImage;
    FactoryImage factoryImage;
    BootImage bootImage;
    SymbolTable symbols;

    LoadTargets Targets()
    {
        return {.userImage = userImage, .factoryImage = factoryImage, .bootImage = bootImage, .symbols = symbols};
    }
};
