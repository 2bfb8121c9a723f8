#pragma once

#include <cstdint>
#include <type_traits>

namespace korvane {

// The modal G codes a record holds. Each value is the digit that follows the code's stem when
// it is written ("G0" + motion, "G4" + compensation, "G9" + distance mode), so that a record
// is written back with the codes it was read with.

/// The motion of a line: G00 to G03.
enum class Motion : std::uint8_t { Rapid = 0, Linear = 1, Clockwise = 2, CounterClockwise = 3 };

/// How axis words are read: G90 absolute, G91 incremental.
enum class DistanceMode : std::uint8_t { Absolute = 0, Incremental = 1 };

/// Cutter radius compensation: G40 off, G41 left of the path, G42 right of it.
enum class RadiusComp : std::uint8_t { Off = 0, Left = 1, Right = 2 };

/// Tool length compensation: none stated yet, G43 on, G49 off.
enum class LengthComp : std::uint8_t { NotSeen = 0, On = 3, Off = 9 };

/// The digit written after the code's stem ("G0", "G4", "G9"). LengthComp::NotSeen gives "0".
template <typename Code>
requires std::is_enum_v<Code>
constexpr char CodeDigit(Code code)
{
    return static_cast<char>('0' + static_cast<int>(code));
}

/// `code` with `a` and `b` exchanged; any other value stays as it is.
template <typename Code>
requires std::is_enum_v<Code>
constexpr Code Exchanged(Code code, Code a, Code b)
{
    return code == a ? b : code == b ? a : code;
}

/// True for the two arc motions.
constexpr bool IsArc(Motion motion)
{
    return motion == Motion::Clockwise || motion == Motion::CounterClockwise;
}

/// The motion of an arc run the other way round: clockwise and counter-clockwise exchanged;
/// rapid and linear motion stay.
constexpr Motion ExchangedArc(Motion motion)
{
    return Exchanged(motion, Motion::Clockwise, Motion::CounterClockwise);
}

/// The compensation side of a path run the other way: left and right exchanged; off stays.
constexpr RadiusComp ExchangedSide(RadiusComp side)
{
    return Exchanged(side, RadiusComp::Left, RadiusComp::Right);
}

} // namespace korvane
