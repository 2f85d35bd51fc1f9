#pragma once

#include "link/DeviceLink.h"

// The letter of a memory space in the console's texts ("_x", "_y", "_p"); "?"
// for a code that names none.
constexpr char SpaceLetter(MemorySpace space)
{
    switch (space) {
    case MemorySpace::X: return 'x';
    case MemorySpace::Y: return 'y';
    case MemorySpace::P: return 'p';
    }
    return '?';
}
