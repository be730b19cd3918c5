// Error pieces found by the geometry check; written by the check, drawn by the main view.
#pragma once

#include "MyFunctions.h"

#include <array>

struct TCheckErrorEntry {
    TVector Mid;   // the tested midpoint
    TVector Start; // start of the tested piece
    TVector End;   // end of the tested piece
};

struct TCheckErrorSegments {
    int32_t Count = 0;                         // entries in use (the check stops at 10)
    std::array<TCheckErrorEntry, 100> Entry{}; // Entry[0] is entry number 1
    void Reset() { Count = 0; }
};
