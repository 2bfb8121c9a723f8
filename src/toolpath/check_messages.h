#pragma once

// The texts of the check's findings, apart from the logic that decides them.

#include <cstdint>
#include <string>

#include "toolpath/machine.h"

namespace korvane::messages {

/// A cut as a machinist reads it: "X0 Y0 Z-1. → X10. Y0 Z-1.", arcs with their code and
/// centre; an axis unknown at both ends is left out, one unknown at one end is "?".
std::string CutText(const Move &move);

std::string LostCut(const Move &cut, bool wholeProgram);
std::string ExtraCut(std::uint32_t resultLine, const Move &cut, bool wholeProgram);
std::string BadArc(std::uint32_t resultLine, double radiusDifference, bool wholeProgram);
std::string UnknownStartInSource();
std::string UnknownPositionInResult(std::uint32_t resultLine, bool knownInSource);
std::string UnknownHeightInResult(std::uint32_t resultLine);

/// A condition of a cut that the result may make differently from the source.
enum class Condition : std::uint8_t { Spindle, Tool, LengthOffset, WorkOffset, Feed };

/// The condition under which the result makes a cut, and the source's: "<result line>の切削
/// では、主軸が M04 です（元の切削は M03 S1000）。" and the like.
std::string ConditionDiffers(std::uint32_t resultLine, Condition condition,
                             const CutConditions &expected, const CutConditions &actual);

std::string Compensation(std::uint32_t resultLine, RadiusComp expected, RadiusComp actual,
                         std::int32_t expectedRadiusOffset, std::int32_t actualRadiusOffset);
std::string RapidPlunge(std::uint32_t resultLine, double z, double lowestSourceZ);
std::string RapidTraverseLow(std::uint32_t resultLine, double z, double lowestSourceZ);
std::string Unsupported(korvane::Unsupported what);

} // namespace korvane::messages
