#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "toolpath/moves.h"

namespace korvane {

/// What a program does that the machine model cannot follow.
enum class Unsupported : std::uint8_t {
    SubprogramCall, // M98, M198, G65, G66, M99: moves made elsewhere
    Macro,          // # variables and [ ] expressions: values not known before the run
};

/// Receives a program's moves as the machine makes them.
class MoveSink {
public:
    virtual ~MoveSink() = default;
    virtual void OnMove(const Move &move) = 0;
    /// A line that does something the model cannot follow; its moves may be missing.
    virtual void OnUnsupported(std::uint32_t line, Unsupported what)
    {
        static_cast<void>(line);
        static_cast<void>(what);
    }
};

/// A three-axis milling machine running NC lines one at a time: words as a control reads them
/// (spaces between letter and number, comments in parentheses, ";" ending the block, lower
/// case as upper case), absolute and incremental positions, straight moves and arcs (R or
/// I/J/K, incremental or absolute centres, full circles, helices, the three planes), the
/// spindle, tool changes, length and radius compensation, work offsets (G54 to G59, G54.1 P,
/// G92) and moves to the machine's reference (G28, G30, G53), which leave the work position
/// unknown on their axes. Drilling cycles are expanded to their rapid and feed moves.
class Machine {
public:
    /// Runs one line (without its line break); `index` is its 0-based line number. Every move
    /// it makes goes to `sink`. Never throws but for std::bad_alloc: a word it cannot read is
    /// passed over.
    void RunLine(std::string_view line, std::uint32_t index, MoveSink &sink);

    const Point &position() const { return m_position; }

private:
    struct Words;

    void ApplyModes(const Words &words, std::uint32_t index, MoveSink &sink);
    void RunMotion(const Words &words, std::uint32_t index, MoveSink &sink);
    void RunReference(const Words &words, std::uint32_t index, MoveSink &sink, bool machineG53);
    void RunCycle(const Words &words, std::uint32_t index, MoveSink &sink);
    Point Target(const Words &words) const;
    void Emit(Move &move, MoveSink &sink);
    void SetArc(Move &move, const Words &words) const;

    Point m_position;
    CutConditions m_conditions;
    Motion m_motion = Motion::Rapid;
    Plane m_plane = Plane::XY;
    bool m_incremental = false;
    bool m_absoluteCentres = false; // G90.1
    RadiusComp m_sideCommanded = RadiusComp::Off;
    RadiusComp m_sideApplied = RadiusComp::Off;
    std::int32_t m_selectedTool = -1;
    std::int32_t m_cycle = 0; // drilling cycle code times ten (810 for G81), 0 when none
    bool m_cycleToInitial = true;
    double m_cycleInitialZ = kUnknown;
    double m_cycleR = kUnknown;
    double m_cycleBottom = kUnknown;
};

/// Every move of a program, in the order they are made.
std::vector<Move> RunProgram(std::span<const std::string_view> lines);

} // namespace korvane
