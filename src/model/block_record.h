#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>

#include "model/modal_codes.h"

namespace korvane {

// Every "extended" computation of the rewrite runs in the x87 80-bit format: its 64-bit
// significand is what makes the rounding of increments, arc offsets and tolerances exact.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 extended format (64-bit significand)");
static_assert(std::numeric_limits<double>::is_iec559, "double must be IEEE binary64");

/// A coordinate that is not yet known. Values at or above it are never written out.
inline constexpr double UNSET_COORD = 999999.0;

/// Two coordinates are equal when they differ by at most 0.001; the bound is the extended
/// value nearest 0.001, which lies just below the double nearest 0.001.
inline constexpr long double kCoordTolerance = 0.001L;

/// The mirror setting: the index of the selected item of the mirror radio group.
enum class MirrorAxis : std::uint8_t { X = 0, Y = 1, None = 2 };

/// The modal state of the program after one NC line.
struct BlockRecord {
    double feed = -1;               // F, as written (-1: none yet)
    std::int32_t spindle = -1;      // S
    std::int32_t seqNo = -1;        // N
    std::int32_t lengthOffset = -1; // H; -1 after G49
    std::int32_t tool = -1;         // T
    std::int32_t radiusOffset = -1; // D; -1 after G40
    double startX = UNSET_COORD;
    double startY = UNSET_COORD;
    double startZ = UNSET_COORD;
    double endX = UNSET_COORD;
    double endY = UNSET_COORD;
    double endZ = UNSET_COORD;
    double arcRadius = 0.0; // R of this line
    double arcI = 0.0;      // arc centre, X offset from the line's end point
    double arcJ = 0.0;      // arc centre, Y offset from the line's end point
    Motion motion = Motion::Rapid;
    DistanceMode distanceMode = DistanceMode::Absolute;
    RadiusComp radiusComp = RadiusComp::Off;
    LengthComp lengthComp = LengthComp::NotSeen;
    std::uint8_t workOffset = 0;     // the last of G54..G59 (54..59), 0 before any
    std::uint8_t positionOffset = 0; // the work offset the end point's numbers were given in
    bool machineReference = false;   // this line is G28, G30 or G53: its axis words are not
                                     // work positions
};

/// What the emitter last decided to write; coordinates before mirroring, codes before exchange.
struct EmitMemory {
    std::int32_t lastSpindle = -1;
    double lastFeed = -1;
    std::int32_t lastSeqNo = -1;
    std::int32_t lastRadiusOffset = -1;
    std::int32_t lastLengthOffset = -1;
    std::int32_t lastTool = -1;
    RadiusComp lastRadiusComp = RadiusComp::Off;
    LengthComp lastLengthComp = LengthComp::NotSeen;
    Motion lastMotion = Motion::Rapid;
    DistanceMode lastDistanceMode = DistanceMode::Absolute;
    std::int32_t lastPositionOffset = 0; // last G54..G59 written by the whole-program reversal
    double lastX = UNSET_COORD;
    double lastY = UNSET_COORD;
    double lastZ = UNSET_COORD;
};

/// True when a and b differ by more than the coordinate tolerance (computed in extended).
inline bool CoordChanged(double a, double b)
{
    long double diff = static_cast<long double>(a) - static_cast<long double>(b);
    return (diff < 0 ? -diff : diff) > kCoordTolerance;
}

/// True when a coordinate is known and may be written.
inline bool IsWritable(double v)
{
    return v < UNSET_COORD;
}

/// True when the record moves in X or Y.
inline bool HasXYTravel(const BlockRecord &r)
{
    return CoordChanged(r.startX, r.endX) || CoordChanged(r.startY, r.endY);
}

/// True when the record moves in Z.
inline bool HasZTravel(const BlockRecord &r)
{
    return CoordChanged(r.startZ, r.endZ);
}

/// True when the record is an arc by its centre that ends where it starts: a full circle.
inline bool IsFullCircle(const BlockRecord &r)
{
    return IsArc(r.motion) && r.arcRadius == 0.0 && (r.arcI != 0.0 || r.arcJ != 0.0) &&
           !HasXYTravel(r);
}

/// True when the record cuts in the plane: a feed move with X or Y travel, or a full circle.
inline bool IsPlaneCut(const BlockRecord &r)
{
    return r.motion != Motion::Rapid && (HasXYTravel(r) || IsFullCircle(r));
}

} // namespace korvane
