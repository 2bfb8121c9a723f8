#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "model/modal_codes.h"

namespace korvane {

/// A coordinate that the program has not given, or that a move to the machine's reference
/// point has made unknown in work coordinates.
inline constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

/// The height of the machine's reference point (after G28 or G30 in Z, G53 Z0, a tool
/// change): not known in work coordinates, but above anything the program cuts.
inline constexpr double kHome = std::numeric_limits<double>::infinity();

/// True unless the coordinate is unknown; the home height counts as known.
inline bool IsKnown(double v)
{
    return !std::isnan(v);
}

/// True when the coordinate is a position in work coordinates.
inline bool IsWorkPosition(double v)
{
    return std::isfinite(v);
}

struct Point {
    double x = kUnknown;
    double y = kUnknown;
    double z = kUnknown;
};

/// The plane of an arc: its two axes are (X, Y), (Z, X) and (Y, Z) in that order.
enum class Plane : std::uint8_t { XY, ZX, YZ };

enum class Spindle : std::uint8_t { Unknown, Stopped, Clockwise, CounterClockwise };

/// Tool length compensation: Unknown until a program states it.
enum class LengthCompState : std::uint8_t { Unknown, Off, Positive, Negative };

/// A work coordinate system: none stated yet, one of G54 to G59 (and G59.1 to G59.3), or an
/// extended offset G54.1 P; `shift` counts the G92 shifts laid over it since the start.
struct WorkOffset {
    std::int32_t code = 0; // 0 none; 540..590, 591..593; 100000 + P for G54.1 P
    std::int32_t shift = 0;

    friend bool operator==(const WorkOffset &, const WorkOffset &) = default;
};

/// The state of the machine that a move is made under.
struct CutConditions {
    double feed = kUnknown; // F in force
    double spindleSpeed = kUnknown;
    Spindle spindle = Spindle::Unknown;
    LengthCompState lengthComp = LengthCompState::Unknown;
    RadiusComp compStart = RadiusComp::Off; // cutter compensation at the move's start
    RadiusComp compEnd = RadiusComp::Off;   // and at its end (they differ on start-up and cancel)
    std::int32_t tool = -1;                 // the tool in the spindle (the T of the last M06)
    std::int32_t lengthOffset = -1;         // H in force, -1 when none was given
    std::int32_t radiusOffset = -1;         // D in force
    WorkOffset workOffset;
};

/// One move of a program run as a machine would run it.
struct Move {
    std::uint32_t line = 0; // 0-based line of the program
    Motion kind = Motion::Rapid;
    Plane plane = Plane::XY;
    bool machineReference = false; // G28, G30, G53: the end is the machine's, unknown here
    bool badArc = false;           // the end does not lie on the arc's circle
    bool xyTravel = false;         // moves in X or Y by more than 0.001, or by an unknown amount
    Point start;
    Point end;
    double centreA = kUnknown; // arc centre on the plane's first axis
    double centreB = kUnknown; // and on its second
    CutConditions conditions;
};

/// True when the two values are known and within `tolerance`, or both unknown.
inline bool SameCoord(double a, double b, double tolerance)
{
    if (a == b)
        return true;
    if (!IsWorkPosition(a) || !IsWorkPosition(b))
        return IsKnown(a) == IsKnown(b);
    return std::fabs(a - b) <= tolerance;
}

inline bool SamePoint(const Point &a, const Point &b, double tolerance)
{
    return SameCoord(a.x, b.x, tolerance) && SameCoord(a.y, b.y, tolerance) &&
           SameCoord(a.z, b.z, tolerance);
}

/// The end point of a full circle is its start point, by the rewrite's 0.001 rule.
inline constexpr double kSamePointTolerance = 0.001;

/// True when the move is an arc that returns to its start: a full circle.
bool IsFullCircle(const Move &move);

/// True when a feed move runs at the home height at one of its ends: through the air.
inline bool AtHomeHeight(const Move &move)
{
    return move.start.z == kHome || move.end.z == kHome;
}

/// A cut: a feed move with X or Y travel, or a full circle, below the home height.
bool IsCut(const Move &move);

/// "G54", "G59.1", "G54.1P3", with " (G92)" after a shift; "なし" when none was stated.
std::string WorkOffsetName(const WorkOffset &offset);

} // namespace korvane
