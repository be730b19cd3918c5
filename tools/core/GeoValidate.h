// Checks the editor's body and zone tables before they go to the viewer.
#pragma once

#include "GeoTable.h"

#include <string>

struct TGeoCheck {
    bool Ok = true;
    std::string Message; // the first failing rule's text; empty when Ok
    bool IsZone = false; // the failure is in the zone table
    int Row = 0;         // table row of the failure
};

// Runs every body rule on rows 1.. of `bodies`, then every zone rule on rows 1.. of `zones`,
// and stops at the first failure. The symbol and number cells of the bodies and every zone
// cell from column 1 on are written back trimmed and upper-cased, up to the row where the
// check stops.
TGeoCheck ValidateGeometry(TGeoTable& bodies, TGeoTable& zones);
