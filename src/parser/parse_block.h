#pragma once

#include <string>
#include <string_view>

#include "model/block_record.h"

namespace korvane {

inline constexpr std::string_view kMsgCannedCycle = "固定サイクルは対応していません！";
inline constexpr std::string_view kMsgPlaneG18 = "G18平面は対応していません！";
inline constexpr std::string_view kMsgPlaneG19 = "G19平面は対応していません！";
inline constexpr std::string_view kMsgIncremental =
    "G91が含まれる為中止します！（G91移動は全て逆転する時のみ対応しています）";

/// What the parser made of one line: accepted, or refused with the message to show.
struct ParseVerdict {
    bool accepted = true;
    std::string_view message; // empty when accepted; one of the kMsg texts otherwise
};

/// Reads one NC line (without its line break, UTF-8 bytes) into the running record `block`
/// and the program number `programHeader`. `wholeProgram` is the reversal choice in force:
/// without it, incremental X or Y travel is refused. Expects the block's start point to equal
/// its end point on entry (the commit moves it). Throws EngineError for a malformed number
/// (words before it stay applied) and for an increment no 64-bit integer can hold.
ParseVerdict ParseBlock(std::string_view line, bool wholeProgram, BlockRecord &block,
                        std::string &programHeader);

} // namespace korvane
