#include "toolpath/machine.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace korvane {
namespace {

// An arc whose end lies further off its circle is an alarm on a control. Written arcs carry
// the rounding of their ends and of their centre offsets to three decimals.
constexpr double kArcTolerance = 0.005;

constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads a number at `at` ("-12.5", "+.5", "3."); false, with `at` unchanged, when there is
// none. Values are exact to the double nearest when they have at most 15 digits, as NC
// numbers have; longer texts go through the C library.
bool ReadNumber(std::string_view text, std::size_t &at, double &value)
{
    std::size_t i = at;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    const std::size_t first = i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            if (digits < 19)
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 && !point)
        return false;
    if (digits <= 15 && fraction < static_cast<int>(kPowersOfTen.size())) {
        value = static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(fraction)];
    } else {
        const std::string copy(text.substr(first, i - first));
        value = std::strtod(copy.c_str(), nullptr); // long texts only; the C locale's "."
    }
    if (negative)
        value = -value;
    at = i;
    return true;
}

std::int32_t ToInt(double value)
{
    if (!(value > -2e9 && value < 2e9))
        return -1;
    return static_cast<std::int32_t>(std::lround(value));
}

bool Differs(double a, double b)
{
    return !SameCoord(a, b, kSamePointTolerance);
}

double &Axis(Point &p, int axis)
{
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

double AxisOf(const Point &p, int axis)
{
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// The two axes of a plane, by index (0 X, 1 Y, 2 Z), and the letters of their centre offsets.
struct PlaneAxes {
    int a, b;
    char offsetA, offsetB;
};

PlaneAxes AxesOf(Plane plane)
{
    switch (plane) {
    case Plane::ZX:
        return {2, 0, 'K', 'I'};
    case Plane::YZ:
        return {1, 2, 'J', 'K'};
    default:
        return {0, 1, 'I', 'J'};
    }
}

bool SetsXYTravel(const Point &start, const Point &end)
{
    return Differs(start.x, end.x) || Differs(start.y, end.y);
}

} // namespace

// The words of one line: the last value of each letter, and every G and M code.
struct Machine::Words {
    // Only the letters marked present have a value; the arrays are not cleared per line.
    std::uint32_t present = 0;
    std::array<double, 26> value;
    std::array<std::int32_t, 16> g;
    std::array<std::int32_t, 8> m;
    int gCount = 0;
    int mCount = 0;
    bool macro = false;

    bool Has(char letter) const { return (present >> (letter - 'A')) & 1U; }
    double Get(char letter) const { return value[static_cast<std::size_t>(letter - 'A')]; }
    bool HasAxis() const { return Has('X') || Has('Y') || Has('Z'); }

    void Read(std::string_view line);
};

void Machine::Words::Read(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '(') {
            const std::size_t close = line.find(')', i);
            if (close == std::string_view::npos)
                return;
            i = close + 1;
            continue;
        }
        if (c == ';')
            return;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') {
            if (c == '#' || c == '[')
                macro = true;
            ++i;
            continue;
        }
        ++i;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        double v = 0;
        if (!ReadNumber(line, i, v)) {
            if (i < line.size() && (line[i] == '#' || line[i] == '['))
                macro = true;
            continue;
        }
        if (c == 'G') {
            if (gCount < static_cast<int>(g.size()))
                g[static_cast<std::size_t>(gCount++)] = ToInt(v * 10);
        } else if (c == 'M') {
            if (mCount < static_cast<int>(m.size()))
                m[static_cast<std::size_t>(mCount++)] = ToInt(v);
        } else {
            present |= 1U << (c - 'A');
            value[static_cast<std::size_t>(c - 'A')] = v;
        }
    }
}

void Machine::RunLine(std::string_view line, std::uint32_t index, MoveSink &sink)
{
    Words words;
    words.Read(line);
    if (words.macro)
        sink.OnUnsupported(index, Unsupported::Macro);
    ApplyModes(words, index, sink);
}

void Machine::ApplyModes(const Words &words, std::uint32_t index, MoveSink &sink)
{
    CutConditions &c = m_conditions;
    if (words.Has('F'))
        c.feed = words.Get('F');
    if (words.Has('S'))
        c.spindleSpeed = words.Get('S');
    if (words.Has('T'))
        m_selectedTool = ToInt(words.Get('T'));

    bool toolChange = false;
    bool programEnd = false;
    bool spindleGiven = false;
    Spindle spindle = c.spindle;
    for (int k = 0; k < words.mCount; ++k) {
        switch (words.m[static_cast<std::size_t>(k)]) {
        case 3:
            spindle = Spindle::Clockwise;
            spindleGiven = true;
            break;
        case 4:
            spindle = Spindle::CounterClockwise;
            spindleGiven = true;
            break;
        case 5:
        case 19:
            spindle = Spindle::Stopped;
            spindleGiven = true;
            break;
        case 6:
            toolChange = true;
            break;
        case 2:
        case 30:
            programEnd = true;
            break;
        case 98:
        case 99:
        case 198:
            sink.OnUnsupported(index, Unsupported::SubprogramCall);
            break;
        default:
            break;
        }
    }
    // A tool change stops the spindle and takes the head to its change position, whatever
    // else the line says; a spindle start on the same line comes after it.
    if (toolChange) {
        c.spindle = Spindle::Stopped;
        c.tool = m_selectedTool;
        m_position.z = kHome;
    }
    if (spindleGiven)
        c.spindle = spindle;

    enum class OneShot {
        None,
        Dwell,
        Data,
        Reference,
        MachineCoordinates,
        Shift,
        Shift0
    } oneShot{};
    bool motionGiven = false;
    WorkOffset offset = c.workOffset;
    for (int k = 0; k < words.gCount; ++k) {
        const std::int32_t g = words.g[static_cast<std::size_t>(k)];
        switch (g) {
        case 0:
        case 10:
        case 20:
        case 30:
            m_motion = static_cast<Motion>(g / 10);
            motionGiven = true;
            break;
        case 40:
            oneShot = OneShot::Dwell;
            break;
        case 100:
            oneShot = OneShot::Data;
            break;
        case 170:
            m_plane = Plane::XY;
            break;
        case 180:
            m_plane = Plane::ZX;
            break;
        case 190:
            m_plane = Plane::YZ;
            break;
        case 280:
        case 300:
            oneShot = OneShot::Reference;
            break;
        case 400:
            m_sideCommanded = RadiusComp::Off;
            break;
        case 410:
            m_sideCommanded = RadiusComp::Left;
            break;
        case 420:
            m_sideCommanded = RadiusComp::Right;
            break;
        case 430:
        case 431:
        case 434:
            c.lengthComp = LengthCompState::Positive;
            break;
        case 440:
            c.lengthComp = LengthCompState::Negative;
            break;
        case 490:
            c.lengthComp = LengthCompState::Off;
            break;
        case 530:
            oneShot = OneShot::MachineCoordinates;
            break;
        case 540:
        case 550:
        case 560:
        case 570:
        case 580:
        case 590:
        case 591:
        case 592:
        case 593:
            offset.code = g;
            break;
        case 541:
            offset.code = 100000 + (words.Has('P') ? ToInt(words.Get('P')) : 0);
            break;
        case 650:
        case 660:
            sink.OnUnsupported(index, Unsupported::SubprogramCall);
            oneShot = OneShot::Data;
            break;
        case 730:
        case 740:
        case 760:
        case 810:
        case 820:
        case 830:
        case 840:
        case 850:
        case 860:
        case 870:
        case 880:
        case 890:
            if (m_cycle == 0)
                m_cycleInitialZ = m_position.z;
            m_cycle = g;
            break;
        case 800:
            m_cycle = 0;
            break;
        case 900:
            m_incremental = false;
            break;
        case 910:
            m_incremental = true;
            break;
        case 901:
            m_absoluteCentres = true;
            break;
        case 911:
            m_absoluteCentres = false;
            break;
        case 920:
            oneShot = OneShot::Shift;
            break;
        case 921:
        case 922:
        case 923:
            oneShot = OneShot::Shift0;
            break;
        case 980:
            m_cycleToInitial = true;
            break;
        case 990:
            m_cycleToInitial = false;
            break;
        default:
            break;
        }
    }
    if (motionGiven)
        m_cycle = 0; // a motion code ends a drilling cycle
    if (words.Has('D'))
        c.radiusOffset = ToInt(words.Get('D'));
    if (words.Has('H'))
        c.lengthOffset = ToInt(words.Get('H'));
    if (!(offset == c.workOffset)) {
        // Positions given before belong to the other system; where the tool stands in the new
        // one is not known until a move states it.
        c.workOffset = offset;
        m_position.x = m_position.y = kUnknown;
        if (m_position.z != kHome)
            m_position.z = kUnknown;
    }

    switch (oneShot) {
    case OneShot::Dwell:
    case OneShot::Data:
        break; // axis words are times or data, not positions
    case OneShot::Shift:
    case OneShot::Shift0:
        // The named axes take the given values where the tool stands: a new system.
        ++c.workOffset.shift;
        if (oneShot == OneShot::Shift) {
            for (int axis = 0; axis < 3; ++axis) {
                const char letter = static_cast<char>('X' + axis);
                if (words.Has(letter))
                    Axis(m_position, axis) = words.Get(letter);
            }
        } else {
            m_position = Point{};
        }
        break;
    case OneShot::Reference:
        RunReference(words, index, sink, false);
        break;
    case OneShot::MachineCoordinates:
        RunReference(words, index, sink, true);
        break;
    case OneShot::None:
        if (m_cycle != 0 && (words.HasAxis() || words.Has('R')))
            RunCycle(words, index, sink);
        else
            RunMotion(words, index, sink);
        break;
    }
    if (programEnd)
        c.spindle = Spindle::Stopped;
}

Point Machine::Target(const Words &words) const
{
    Point target = m_position;
    for (int axis = 0; axis < 3; ++axis) {
        const char letter = static_cast<char>('X' + axis);
        if (!words.Has(letter))
            continue;
        const double v = words.Get(letter);
        const double from = AxisOf(m_position, axis);
        // A step from the home height leads to a height that is not known.
        Axis(target, axis) = !m_incremental ? v : IsWorkPosition(from) ? from + v : kUnknown;
    }
    return target;
}

void Machine::Emit(Move &move, MoveSink &sink)
{
    // Compensation starts and ends on the first move in the plane after the code changed.
    move.conditions = m_conditions;
    move.conditions.compStart = m_sideApplied;
    move.conditions.compEnd = move.xyTravel ? m_sideCommanded : m_sideApplied;
    m_sideApplied = move.conditions.compEnd;
    m_position = move.end;
    sink.OnMove(move);
}

void Machine::RunMotion(const Words &words, std::uint32_t index, MoveSink &sink)
{
    const PlaneAxes axes = AxesOf(m_plane);
    const bool arc = IsArc(m_motion);
    const bool centreWords = words.Has(axes.offsetA) || words.Has(axes.offsetB);
    if (!words.HasAxis() && !(arc && centreWords))
        return;

    Move move;
    move.line = index;
    move.kind = m_motion;
    move.plane = m_plane;
    move.start = m_position;
    move.end = Target(words);
    move.xyTravel = SetsXYTravel(move.start, move.end);
    if (m_incremental && !IsKnown(move.end.x) && words.Has('X') && words.Get('X') != 0.0)
        move.xyTravel = true;
    if (m_incremental && !IsKnown(move.end.y) && words.Has('Y') && words.Get('Y') != 0.0)
        move.xyTravel = true;
    if (arc) {
        SetArc(move, words);
        if (!move.badArc && words.Has('R') && !centreWords &&
            !Differs(AxisOf(move.start, axes.a), AxisOf(move.end, axes.a)) &&
            !Differs(AxisOf(move.start, axes.b), AxisOf(move.end, axes.b)))
            return; // a radius arc back to its start goes nowhere
    }
    Emit(move, sink);
}

void Machine::SetArc(Move &move, const Words &words) const
{
    const PlaneAxes axes = AxesOf(m_plane);
    const double a0 = AxisOf(move.start, axes.a), b0 = AxisOf(move.start, axes.b);
    const double a1 = AxisOf(move.end, axes.a), b1 = AxisOf(move.end, axes.b);
    const bool radius = words.Has('R') && !words.Has(axes.offsetA) && !words.Has(axes.offsetB);
    if (radius) {
        const double r = words.Get('R');
        const double da = a1 - a0, db = b1 - b0;
        const double chord = std::hypot(da, db);
        const double half = chord / 2;
        if (!(r != 0.0) || half > std::fabs(r) + kArcTolerance) {
            move.badArc = IsKnown(chord) || r == 0.0;
            return;
        }
        // The centre lies on the chord's bisector, left of the travel for a counter-clockwise
        // arc of at most half a turn; a negative radius asks for the longer arc.
        const double h = std::sqrt(std::max(0.0, r * r - half * half));
        const double left = move.kind == Motion::CounterClockwise ? 1.0 : -1.0;
        const double side = left * (r > 0 ? 1.0 : -1.0);
        move.centreA = (a0 + a1) / 2 - side * h * db / chord;
        move.centreB = (b0 + b1) / 2 + side * h * da / chord;
        return;
    }
    const double oa = words.Has(axes.offsetA) ? words.Get(axes.offsetA) : 0.0;
    const double ob = words.Has(axes.offsetB) ? words.Get(axes.offsetB) : 0.0;
    move.centreA = m_absoluteCentres ? oa : a0 + oa;
    move.centreB = m_absoluteCentres ? ob : b0 + ob;
    const double r0 = std::hypot(a0 - move.centreA, b0 - move.centreB);
    const double r1 = std::hypot(a1 - move.centreA, b1 - move.centreB);
    if (IsKnown(r0) && IsKnown(r1) && std::fabs(r0 - r1) > kArcTolerance)
        move.badArc = true;
}

void Machine::RunReference(const Words &words, std::uint32_t index, MoveSink &sink, bool machineG53)
{
    Move move;
    move.line = index;
    move.kind = Motion::Rapid;
    if (!machineG53 && words.HasAxis()) {
        // G28 and G30 pass through the point their words name, in work coordinates.
        move.start = m_position;
        move.end = Target(words);
        move.xyTravel = SetsXYTravel(move.start, move.end);
        if (SetsXYTravel(move.start, move.end) || Differs(move.start.z, move.end.z))
            Emit(move, sink);
    }
    move = Move{};
    move.line = index;
    move.kind = Motion::Rapid;
    move.machineReference = true;
    move.start = m_position;
    move.end = m_position;
    const bool all = !machineG53 && !words.HasAxis();
    for (int axis = 0; axis < 3; ++axis) {
        if (all || words.Has(static_cast<char>('X' + axis)))
            Axis(move.end, axis) = kUnknown;
    }
    // The reference point and machine zero are the top of the Z axis; a G53 move below it
    // ends at a height not known in work coordinates.
    if (all || (words.Has('Z') && (!machineG53 || words.Get('Z') >= 0.0)))
        move.end.z = kHome;
    move.xyTravel = words.Has('X') || words.Has('Y') || all;
    Emit(move, sink);
}

void Machine::RunCycle(const Words &words, std::uint32_t index, MoveSink &sink)
{
    // Position in X and Y at the current height, down to R at rapid, feed to the bottom, back
    // to R or to the height the cycle started from.
    if (words.Has('R'))
        m_cycleR = m_incremental ? m_cycleInitialZ + words.Get('R') : words.Get('R');
    if (words.Has('Z'))
        m_cycleBottom = m_incremental ? m_cycleR + words.Get('Z') : words.Get('Z');
    Words xy = words;
    xy.present &= ~(1U << ('Z' - 'A'));
    auto go = [&](Motion kind, Point end) {
        Move move;
        move.line = index;
        move.kind = kind;
        move.start = m_position;
        move.end = end;
        move.xyTravel = SetsXYTravel(move.start, move.end);
        Emit(move, sink);
    };
    Point p = Target(xy);
    if (SetsXYTravel(m_position, p))
        go(Motion::Rapid, p);
    if (!words.Has('X') && !words.Has('Y') && !words.Has('Z'))
        return;
    p.z = m_cycleR;
    go(Motion::Rapid, p);
    p.z = m_cycleBottom;
    go(Motion::Linear, p);
    p.z = m_cycleToInitial && IsKnown(m_cycleInitialZ) ? m_cycleInitialZ : m_cycleR;
    go(Motion::Rapid, p);
}

bool IsFullCircle(const Move &move)
{
    if (!IsArc(move.kind) || move.badArc)
        return false;
    const PlaneAxes axes = AxesOf(move.plane);
    return !Differs(AxisOf(move.start, axes.a), AxisOf(move.end, axes.a)) &&
           !Differs(AxisOf(move.start, axes.b), AxisOf(move.end, axes.b)) &&
           IsKnown(AxisOf(move.start, axes.a)) && IsKnown(AxisOf(move.start, axes.b));
}

bool IsCut(const Move &move)
{
    return move.kind != Motion::Rapid && (move.xyTravel || IsFullCircle(move)) &&
           !AtHomeHeight(move);
}

std::string WorkOffsetName(const WorkOffset &offset)
{
    std::string name;
    if (offset.code == 0)
        name = "なし";
    else if (offset.code >= 100000)
        name = "G54.1P" + std::to_string(offset.code - 100000);
    else if (offset.code % 10 == 0)
        name = "G" + std::to_string(offset.code / 10);
    else
        name = "G" + std::to_string(offset.code / 10) + "." + std::to_string(offset.code % 10);
    if (offset.shift != 0)
        name += "（G92）";
    return name;
}

namespace {

class MoveCollector : public MoveSink {
public:
    explicit MoveCollector(std::vector<Move> &moves) : m_moves(moves) {}
    void OnMove(const Move &move) override { m_moves.push_back(move); }

private:
    std::vector<Move> &m_moves;
};

} // namespace

std::vector<Move> RunProgram(std::span<const std::string_view> lines)
{
    std::vector<Move> moves;
    moves.reserve(lines.size());
    MoveCollector collector(moves);
    Machine machine;
    for (std::size_t i = 0; i < lines.size(); ++i)
        machine.RunLine(lines[i], static_cast<std::uint32_t>(i), collector);
    return moves;
}

} // namespace korvane
