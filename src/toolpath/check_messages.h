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
std::string Spindle(std::uint32_t resultLine, const CutConditions &expected,
                    const CutConditions &actual);
std::string Tool(std::uint32_t resultLine, const CutConditions &expected,
                 const CutConditions &actual);
std::string LengthOffset(std::uint32_t resultLine, const CutConditions &expected,
                         const CutConditions &actual);
std::string WorkOffset(std::uint32_t resultLine, const CutConditions &expected,
                       const CutConditions &actual);
std::string Feed(std::uint32_t resultLine, const CutConditions &expected,
                 const CutConditions &actual);
std::string Compensation(std::uint32_t resultLine, RadiusComp expected, RadiusComp actual,
                         std::int32_t expectedRadiusOffset, std::int32_t actualRadiusOffset);
std::string RapidPlunge(std::uint32_t resultLine, double z, double lowestSourceZ);
std::string RapidTraverseLow(std::uint32_t resultLine, double z, double lowestSourceZ);
std::string Unsupported(korvane::Unsupported what);

} // namespace korvane::messages
