// One NC line, any bytes, read in both reversal modes from two starting states: the parser
// either accepts, refuses or raises the engine's error, and never leaves a value that is not
// a finite number in the record.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/errors.h"
#include "model/working_state.h"
#include "parser/parse_block.h"

namespace {

void CheckFinite(const korvane::BlockRecord &b)
{
    for (double v :
         {b.startX, b.startY, b.startZ, b.endX, b.endY, b.endZ, b.arcRadius, b.arcI, b.arcJ})
        if (!std::isfinite(v))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    for (bool whole : {false, true}) {
        for (bool known : {false, true}) {
            korvane::WorkingState state;
            korvane::ResetState(state);
            if (known) {
                // A position already set, as in the middle of a program.
                korvane::ParseBlock("G90G01X12.5Y-3.25Z1.F300", whole, state.currentBlock,
                                    state.programHeader);
                korvane::CommitLine(state);
            }
            try {
                const auto verdict =
                    korvane::ParseBlock(line, whole, state.currentBlock, state.programHeader);
                if (verdict.accepted != verdict.message.empty())
                    std::abort();
            } catch (const korvane::KorvaneError &) {
            }
            CheckFinite(state.currentBlock);
        }
    }
    return 0;
}
