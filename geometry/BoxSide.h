// Where a box lies with respect to a body, for the zone index.
#pragma once

struct TGeoData;

// Every point inside, every point outside, or not certain.
enum class TBoxSide { Unknown, Inside, Outside };

// Conservative: Inside or Outside only when PointInBody gives that answer at every point of
// the box lo..hi (bounds included), decided with a margin far above the rounding of the inside
// test and relative to the sizes of box and body. Unprepared bodies give Unknown.
TBoxSide BodyBoxSide(const TGeoData& body, const double lo[3], const double hi[3]);
