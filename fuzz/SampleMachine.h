#pragma once

// What the reply and console targets start every input from: the simulated
// machine with the sample factory image and the sample user program in its
// flash, the sample user program loaded as the tool keeps it, and the sample
// symbols. Built once; each input works on copies.

#include "images/SymbolTable.h"
#include "images/UserImage.h"
#include "sim/MachineModel.h"

struct SampleMachine {
    MachineModel machine;
    UserImage userImage;  // loaded, with its kept copy
    SymbolTable symbols;

    static const SampleMachine& Get();

private:
    SampleMachine();
};
