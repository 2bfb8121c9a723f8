#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "files/text_codec.h"
#include "model/UnitCall.h"
#include "table_text.h"
#include "toolpath/check.h"
#include "toolpath/machine.h"
#include "transform/execute.h"

namespace korvane {
namespace {

using ::testing::HasSubstr;

std::vector<std::string_view> Split(std::string_view text)
{
    return testutil::BarLines(text);
}

std::string Coord(double v)
{
    if (v == kHome)
        return "H";
    return IsKnown(v) ? FormatCoord(v) : "?";
}

std::string PointText(const Point &p)
{
    return Coord(p.x) + "," + Coord(p.y) + "," + Coord(p.z);
}

// One move as "L 0,0,-1>10.,0,-1." with the kind (R rapid, L straight feed, CW, CCW), the arc
// centre after "c", and "!" for an arc whose end is off its circle.
std::string MoveText(const Move &m)
{
    static const char *kinds[] = {"R", "L", "CW", "CCW"};
    std::string s = kinds[static_cast<int>(m.kind)];
    s += " " + PointText(m.start) + ">" + PointText(m.end);
    if (IsArc(m.kind))
        s += " c" + Coord(m.centreA) + "," + Coord(m.centreB);
    if (m.badArc)
        s += "!";
    return s;
}

std::string Moves(std::string_view program)
{
    const std::vector<std::string_view> lines = Split(program);
    std::string s;
    for (const Move &m : RunProgram(lines))
        s += (s.empty() ? "" : " | ") + MoveText(m);
    return s;
}

// The conditions of the program's last move, as "F100 S1000 M03 T1 G43H1 G54 G41>G41 D1".
std::string LastConditions(std::string_view program)
{
    const std::vector<std::string_view> lines = Split(program);
    const std::vector<Move> moves = RunProgram(lines);
    if (moves.empty())
        return "no move";
    const CutConditions &c = moves.back().conditions;
    static const char *spindles[] = {"M?", "M05", "M03", "M04"};
    static const char *lengths[] = {"G4?", "G49", "G43", "G44"};
    static const char *sides[] = {"G40", "G41", "G42"};
    std::string s = "F" + Coord(c.feed) + " S" + Coord(c.spindleSpeed) + " " +
                    spindles[static_cast<int>(c.spindle)] + " T" + std::to_string(c.tool) + " " +
                    lengths[static_cast<int>(c.lengthComp)] + "H" + std::to_string(c.lengthOffset) +
                    " " + WorkOffsetName(c.workOffset) + " " +
                    sides[static_cast<int>(c.compStart)] + ">" +
                    sides[static_cast<int>(c.compEnd)] + " D" + std::to_string(c.radiusOffset);
    return s;
}

struct Row {
    int line;
    std::string_view program;
    std::string expected;
};

TEST(Machine, ReadsWordsAsAControlDoes)
{
    const std::vector<Row> rows = {
        {__LINE__, "G0 X1 Y2 Z3", "R ?,?,?>1.,2.,3."},
        {__LINE__, "G0X1Y2Z3|G1 X 5. F100", "R ?,?,?>1.,2.,3. | L 1.,2.,3.>5.,2.,3."},
        {__LINE__, "g0 x1 y+2 z3.", "R ?,?,?>1.,2.,3."},
        // A comment ends at its parenthesis; ";" ends the block.
        {__LINE__, "G0 X1 (FIRST) Y2 Z3", "R ?,?,?>1.,2.,3."},
        {__LINE__, "G0 X1 Y2 Z3; X9", "R ?,?,?>1.,2.,3."},
        {__LINE__, "G0 X1 Y2 Z3 (OPEN X9", "R ?,?,?>1.,2.,3."},
        // G codes are numbers: G01 is G1, G0.1 is neither.
        {__LINE__, "G0X0Y0Z0|G001X1.", "R ?,?,?>0,0,0 | L 0,0,0>1.,0,0"},
        {__LINE__, "G0X0Y0Z0|G1.0X1.", "R ?,?,?>0,0,0 | L 0,0,0>1.,0,0"},
        // Incremental steps from an unknown position stay unknown.
        {__LINE__, "G91 G1 X1 F10|G90 X2 Y2 Z2|G91 Y-1.5",
         "L ?,?,?>?,?,? | L ?,?,?>2.,2.,2. | L 2.,2.,2.>2.,0.5,2."},
        // Dwell and data words are not positions.
        {__LINE__, "G0X0Y0Z0|G04 X1.5|G10 L2 P1 X5.", "R ?,?,?>0,0,0"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.program);
        EXPECT_EQ(Moves(row.program), row.expected);
    }
}

TEST(Machine, RunsArcsInEveryForm)
{
    const std::string from = "G0X0Y0Z0|";
    const std::vector<Row> rows = {
        {__LINE__, "G2 X10. Y0 I5. J0", "CW 0,0,0>10.,0,0 c5.,0"},
        {__LINE__, "G3 X10. Y10. J10.", "CCW 0,0,0>10.,10.,0 c0,10."},
        // A radius picks the shorter arc, a negative radius the longer.
        {__LINE__, "G3 X10. Y10. R10.", "CCW 0,0,0>10.,10.,0 c0,10."},
        {__LINE__, "G2 X10. Y10. R10.", "CW 0,0,0>10.,10.,0 c10.,0"},
        {__LINE__, "G3 X10. Y10. R-10.", "CCW 0,0,0>10.,10.,0 c10.,0"},
        {__LINE__, "G2 X10. R5.", "CW 0,0,0>10.,0,0 c5.,0"},
        // Full circles by I and J; by R an arc back to its start goes nowhere.
        {__LINE__, "G2 I5.", "CW 0,0,0>0,0,0 c5.,0"},
        {__LINE__, "G2 X0 Y0 R5.", ""},
        // Helices, absolute centres (G90.1), and the other planes.
        {__LINE__, "G3 X10. Y0 Z-2. I5.", "CCW 0,0,0>10.,0,-2. c5.,0"},
        {__LINE__, "G90.1 G2 X10. Y0 I5. J0", "CW 0,0,0>10.,0,0 c5.,0"},
        {__LINE__, "G0 X3.|G90.1 G2 X13. I8. J0", "R 0,0,0>3.,0,0 | CW 3.,0,0>13.,0,0 c8.,0"},
        {__LINE__, "G18 G2 X10. Z0 I5. K0", "CW 0,0,0>10.,0,0 c0,5."},
        {__LINE__, "G19 G3 Y10. Z0 J5. K0", "CCW 0,0,0>0,10.,0 c5.,0"},
        // An end off its circle, or a radius too short for the chord, is an alarm.
        {__LINE__, "G2 X10. Y0 I4. J0", "CW 0,0,0>10.,0,0 c4.,0!"},
        {__LINE__, "G2 X10. Y0 R4.", "CW 0,0,0>10.,0,0 c?,?!"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.program);
        const std::string moves = Moves(from + std::string(row.program));
        const std::string first = "R ?,?,?>0,0,0";
        EXPECT_EQ(moves, row.expected.empty() ? first : first + " | " + row.expected);
    }
}

TEST(Machine, LosesPositionsWhereAControlWould)
{
    const std::vector<Row> rows = {
        // Reference returns and machine coordinates: the named axes leave work coordinates,
        // Z for the top of its travel.
        {__LINE__, "G0X1Y2Z3|G91 G28 Z0", "R ?,?,?>1.,2.,3. | R 1.,2.,3.>1.,2.,H"},
        {__LINE__, "G0X1Y2Z3|G28 X5.",
         "R ?,?,?>1.,2.,3. | R 1.,2.,3.>5.,2.,3. | R 5.,2.,3.>?,2.,3."},
        {__LINE__, "G0X1Y2Z3|G28", "R ?,?,?>1.,2.,3. | R 1.,2.,3.>?,?,H"},
        {__LINE__, "G0X1Y2Z3|G53 G0 Z0.", "R ?,?,?>1.,2.,3. | R 1.,2.,3.>1.,2.,H"},
        {__LINE__, "G0X1Y2Z3|G53 G0 Z-100.", "R ?,?,?>1.,2.,3. | R 1.,2.,3.>1.,2.,?"},
        // A step from the top of Z leads nowhere known.
        {__LINE__, "G0X1Y2Z3|G28 G91 Z0|Z-5.",
         "R ?,?,?>1.,2.,3. | R 1.,2.,3.>1.,2.,H | R 1.,2.,H>1.,2.,?"},
        // Another work offset: the position in it is not known, the top of Z stays the top.
        {__LINE__, "G54 G0X1Y2Z3|G55 X5.", "R ?,?,?>1.,2.,3. | R ?,?,?>5.,?,?"},
        // G28 passes through the point its words name: Z0 of the work, here.
        {__LINE__, "G54 G0X1Y2|G28Z0|G55 X5.",
         "R ?,?,?>1.,2.,? | R 1.,2.,?>1.,2.,0 | R 1.,2.,0>1.,2.,H | R ?,?,H>5.,?,H"},
        {__LINE__, "G0X1Y2Z3|G92 X0 Y0|X1.", "R ?,?,?>1.,2.,3. | R 0,0,3.>1.,0,3."},
        // A tool change goes to the change position.
        {__LINE__, "G0X1Y2Z3|T2 M06|X4.", "R ?,?,?>1.,2.,3. | R 1.,2.,H>4.,2.,H"},
        // Drilling cycles: to the hole, down to R, feed to the bottom, back up.
        {__LINE__, "G0X0Y0Z10.|G81 X5. Y5. Z-3. R1. F50|X8.|G80",
         "R ?,?,?>0,0,10. | R 0,0,10.>5.,5.,10. | R 5.,5.,10.>5.,5.,1. | L 5.,5.,1.>5.,5.,-3. | "
         "R 5.,5.,-3.>5.,5.,10. | R 5.,5.,10.>8.,5.,10. | R 8.,5.,10.>8.,5.,1. | "
         "L 8.,5.,1.>8.,5.,-3. | R 8.,5.,-3.>8.,5.,10."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.program);
        EXPECT_EQ(Moves(row.program), row.expected);
    }
}

TEST(Machine, CarriesTheConditionsOfEachMove)
{
    const std::vector<Row> rows = {
        {__LINE__, "G0X0Y0Z0", "F? S? M? T-1 G4?H-1 なし G40>G40 D-1"},
        {__LINE__, "T1 M06 S1000 M03|G54 G43 H1 Z5. F250.5",
         "F250.5 S1000. M03 T1 G43H1 G54 G40>G40 D-1"},
        // A tool change stops the spindle; a later M03 on the same line restarts it.
        {__LINE__, "S1000 M03|T2 M06|G0X0Y0Z0", "F? S1000. M05 T2 G4?H-1 なし G40>G40 D-1"},
        {__LINE__, "S1000 M03|M03 T2 M06|G0X0Y0Z0", "F? S1000. M03 T2 G4?H-1 なし G40>G40 D-1"},
        {__LINE__, "T3|G0X0Y0Z0", "F? S? M? T-1 G4?H-1 なし G40>G40 D-1"},
        {__LINE__, "M04 S300|G49|G59.1 G0X0Y0Z0", "F? S300. M04 T-1 G49H-1 G59.1 G40>G40 D-1"},
        {__LINE__, "G54.1 P3 G92 X0 Y0 Z0|X1.", "F? S? M? T-1 G4?H-1 G54.1P3（G92） G40>G40 D-1"},
        // Compensation starts and ends on the first move in the plane after its code.
        {__LINE__, "G0X0Y0Z0|G41 D1 G1 X10. F100", "F100. S? M? T-1 G4?H-1 なし G40>G41 D1"},
        {__LINE__, "G0X0Y0Z0|G41 D1|G1 Z-1. F100", "F100. S? M? T-1 G4?H-1 なし G40>G40 D1"},
        {__LINE__, "G0X0Y0Z0|G41 D1|Z-1.|G1 X10. F100", "F100. S? M? T-1 G4?H-1 なし G40>G41 D1"},
        {__LINE__, "G0X0Y0Z0|G41 D1 G1 X10. F100|Y10.", "F100. S? M? T-1 G4?H-1 なし G41>G41 D1"},
        {__LINE__, "G0X0Y0Z0|G42 D2 G1 X10. F100|G40 X20.",
         "F100. S? M? T-1 G4?H-1 なし G42>G40 D2"},
        {__LINE__, "M03 S1000|G0X0Y0Z0|M30", "F? S1000. M03 T-1 G4?H-1 なし G40>G40 D-1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.program);
        EXPECT_EQ(LastConditions(row.program), row.expected);
    }
}

// ---- The check ----

using testutil::kSeg;
using testutil::kSegX;
using testutil::kSegY;
using testutil::kWhole;
using testutil::kWholeX;
using testutil::kWholeY;
constexpr RewriteSettings kAllSettings[] = {kWholeX, kWholeY, kWhole, kSegX, kSegY, kSeg};

// The findings as "error lost-cut 3/- | warning rapid-plunge 2/5" (source line / result line,
// 1-based, "-" for none).
std::string Summary(const CheckReport &report)
{
    std::string s;
    for (const Finding &f : report.findings) {
        auto line = [](std::optional<std::uint32_t> l) {
            return l ? std::to_string(std::uint64_t{*l} + 1) : std::string("-");
        };
        s += (s.empty() ? "" : " | ") +
             std::string(f.severity == Severity::Error ? "error " : "warning ") +
             std::string(FindingKindName(f.kind)) + " " + line(f.sourceLine) + "/" +
             line(f.resultLine);
    }
    return s;
}

CheckReport CheckTexts(std::string_view source, std::string_view result, MirrorAxis mirror,
                       bool whole = false)
{
    const std::vector<std::string_view> s = Split(source), r = Split(result);
    return CheckRewrite(s, r, {mirror, whole});
}

// Rewrites and checks as the front ends do.
struct Checked {
    std::string output;
    CheckReport report;
};

Checked RewriteAndCheck(std::string_view program, const RewriteSettings &settings)
{
    const std::vector<std::string_view> lines = Split(program);
    WorkingState state;
    Checked c;
    const RewriteOutcome outcome = ExecuteRewrite(lines, settings, state);
    if (!outcome.completed) {
        c.output = "refused";
        return c;
    }
    for (std::size_t i = 0; i < state.outputLines.size(); ++i)
        c.output += (i ? "|" : "") + std::string(state.outputLines[i]);
    c.report = CheckRewrite(lines, state.outputLines, {settings.mirrorAxis, settings.wholeProgram});
    return c;
}

struct CheckRow {
    int line;
    std::string source;
    std::string result;
    MirrorAxis mirror;
    std::string expected;
};

TEST(CheckRewrite, FindsEachKindOfDeparture)
{
    const char *pass = "G90G0X0Y0Z5.|G1Z-1.F100|X10.|G0Z5.";
    const std::vector<CheckRow> rows = {
        // The same cut, either way round; mirrored as asked.
        {__LINE__, pass, pass, MirrorAxis::None, ""},
        {__LINE__, pass, "G90G0X10.Y0Z5.|G1Z-1.F100|X0|G0Z5.", MirrorAxis::None, ""},
        {__LINE__, pass, "G90G0X-10.Y0Z5.|G1Z-1.F100|X0|G0Z5.", MirrorAxis::X, ""},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X9.99|G0Z5.", MirrorAxis::None,
         "error lost-cut 3/- | error extra-cut -/3"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.|X0|G0Z5.", MirrorAxis::None,
         "error extra-cut -/4"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|G0X10.|G0Z5.", MirrorAxis::None,
         "error lost-cut 3/- | warning rapid-traverse-low -/3"},
        // Within 0.002 is the same place.
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.0019|G0Z5.", MirrorAxis::None, ""},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.0021|G0Z5.", MirrorAxis::None,
         "error lost-cut 3/- | error extra-cut -/3"},
        // Arcs: ends, path and direction; run backwards they turn the other way.
        {__LINE__, "G0X0Y0Z0|G1F100|G2X10.I5.", "G0X10.Y0Z0|G1F100|G3X0I-5.", MirrorAxis::None, ""},
        {__LINE__, "G0X0Y0Z0|G1F100|G2X10.I5.", "G0X10.Y0Z0|G1F100|G2X0I-5.", MirrorAxis::None,
         "error lost-cut 3/- | error extra-cut -/3"},
        {__LINE__, "G0X0Y0Z0|G1F100|G2X10.I5.", "G0X0Y0Z0|G1F100|G2X10.R-5.", MirrorAxis::None, ""},
        {__LINE__, "G0X0Y0Z0|G1F100|G2X10.I5.", "G0X0Y0Z0|G1F100|G2X10.I5.01", MirrorAxis::None,
         "error lost-cut 3/- | error bad-arc -/3 | error extra-cut -/3"},
        {__LINE__, "G0X0Y0Z0|G1F100|G2I5.", "G0X0Y0Z0|G1F100|G3I5.", MirrorAxis::None, ""},
        {__LINE__, "G0X0Y0Z0|G1F100|G2I5.", "G0X0Y0Z0|G1F100|G3I-5.", MirrorAxis::X, ""},
        // Mirrored in the other planes: the centre's coordinate on the mirrored axis turns.
        {__LINE__, "G0X0Y0Z0|G18G1F100|G2X10.I5.", "G0X0Y0Z0|G18G1F100|G3X-10.I-5.", MirrorAxis::X,
         ""},
        {__LINE__, "G0X0Y0Z0|G19G1F100|G2Y10.J5.", "G0X0Y0Z0|G19G1F100|G3Y-10.J-5.", MirrorAxis::Y,
         ""},
        {__LINE__, "G0X0Y0Z0|G19G1F100|G2Y10.J5.", "G0X0Y0Z0|G19G1F100|G3Y-10.J5.", MirrorAxis::Y,
         "error lost-cut 3/- | error bad-arc -/3 | error extra-cut -/3"},
        // Conditions of a cut.
        {__LINE__, "S1000M3|" + std::string(pass), "S1000M3|M5|" + std::string(pass),
         MirrorAxis::None, "error spindle 4/5"},
        {__LINE__, "S1000M3|" + std::string(pass), "S1100M3|" + std::string(pass), MirrorAxis::None,
         "error spindle 4/4"},
        {__LINE__, "S1000M3|" + std::string(pass), "S1000M4|" + std::string(pass), MirrorAxis::None,
         "error spindle 4/4"},
        {__LINE__, "T1M6|" + std::string(pass), "T2M6|" + std::string(pass), MirrorAxis::None,
         "error tool 4/4"},
        {__LINE__, "G43H1|" + std::string(pass), "G43H2|" + std::string(pass), MirrorAxis::None,
         "error tool 4/4"},
        {__LINE__, "G54|" + std::string(pass), "G55|" + std::string(pass), MirrorAxis::None,
         "error work-offset 4/4"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.F100.6|G0Z5.", MirrorAxis::None,
         "error feed 3/3"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.F100.4|G0Z5.", MirrorAxis::None, ""},
        // Compensation: run backwards a left-hand cut is right-hand, mirrored it stays.
        {__LINE__, "G0X0Y0Z0|G41D1G1X10.F100|Y10.|G40X0", "G0X0Y10.Z0|G42D1G1X10.F100|Y0|G40X0",
         MirrorAxis::None, ""},
        {__LINE__, "G0X0Y0Z0|G41D1G1X10.F100|Y10.|G40X0", "G0X0Y10.Z0|G41D1G1X10.F100|Y0|G40X0",
         MirrorAxis::None,
         "error compensation 2/4 | error compensation 3/3 | "
         "error compensation 4/2"},
        {__LINE__, "G0X0Y0Z0|G41D1G1X10.F100|Y10.|G40X0", "G0X0Y10.Z0|G41D1G1X-10.F100|Y0|G40X0",
         MirrorAxis::X, ""},
        // Positions the result does not know where the source does.
        {__LINE__, pass, "G1X10.Y0F100|G0Z5.", MirrorAxis::None,
         "error lost-cut 3/- | error unknown-position -/1"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|T1M6|X10.|G0Z5.", MirrorAxis::None,
         "error lost-cut 3/-"},
        // Rapids lower than the source goes at rapid.
        {__LINE__, pass, "G90G0X0Y0Z5.|Z-1.|G1X10.F100|G0Z5.", MirrorAxis::None,
         "warning rapid-plunge -/2"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.|G0X20.|G0Z5.", MirrorAxis::None,
         "warning rapid-traverse-low -/4"},
        // What cannot be followed cannot be checked.
        {__LINE__, "M98P100|" + std::string(pass), "M98P100|" + std::string(pass), MirrorAxis::None,
         "error unsupported 1/-"},
        {__LINE__, "#1=5|G0X#1", "#1=5|G0X#1", MirrorAxis::None,
         "error unsupported 1/- | error unsupported 2/-"},
    };
    for (const CheckRow &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line);
        EXPECT_EQ(Summary(CheckTexts(row.source, row.result, row.mirror)), row.expected);
    }
}

TEST(CheckRewrite, NamesTheConditionThatDiffers)
{
    const std::string pass = "G90G0X0Y0Z5.|G1Z-1.F100|X10.|G0Z5.";
    const struct {
        int line;
        std::string source;
        std::string result;
        std::string message;
    } rows[] = {
        {__LINE__, "S1000M3|" + pass, "S1000M4|" + pass,
         "書き換えたプログラムの 4 行目の切削では、主軸が M04 S1000 です（元の切削は M03 "
         "S1000）。"},
        {__LINE__, "T1M6|" + pass, "T2M6|" + pass,
         "書き換えたプログラムの 4 行目の切削は、工具 T2 で行われます（元の切削は T1）。"},
        {__LINE__, "G43H1|" + pass, "G43H2|" + pass,
         "書き換えたプログラムの 4 行目の切削では、工具長補正が G43 H2 です（元の切削は G43 "
         "H1）。"},
        {__LINE__, "G54|" + pass, "G55|" + pass,
         "書き換えたプログラムの 4 行目の切削は、ワーク座標系 G55 で行われます（元の切削は "
         "G54）。"},
        {__LINE__, pass, "G90G0X0Y0Z5.|G1Z-1.F100|X10.F100.6|G0Z5.",
         "書き換えたプログラムの 3 行目の切削は、送り F100.6 です（元の切削は F100）。"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        const CheckReport report = CheckTexts(row.source, row.result, MirrorAxis::None);
        ASSERT_NE(report.FirstError(), nullptr);
        EXPECT_EQ(report.FirstError()->message, row.message);
    }
}

TEST(CheckRewrite, ComparesCutsFarOutWithoutOverflow)
{
    // Coordinates beyond any cell of the search grid share a cell of their own.
    const char *far = "G0X0Y0Z0|G1X-1555555555555555555551.F1|Y1.|X0";
    EXPECT_EQ(
        Summary(CheckTexts(far, "G0X0Y1.Z0|G1X-1555555555555555555551.F1|Y0|X0", MirrorAxis::None)),
        "");
    EXPECT_EQ(
        Summary(CheckTexts(far, "G0X0Y0Z0|G1X-1555555555555555555551.F1|X0", MirrorAxis::None)),
        "error lost-cut 3/- | error lost-cut 4/- | error extra-cut -/3");
}

TEST(CheckRewrite, FindsTheFaultsOfTheUncheckedRewrite)
{
    // The redirect of the second pass lands in the first reversed pass.
    const Checked twoPasses =
        RewriteAndCheck("G90 G00 X0 Y0 Z5.|G01 Z-1. F100|X10.|Z-2.|Y10.|G00 Z5.|M30", kSeg);
    EXPECT_EQ(Summary(twoPasses.report), "error lost-cut 3/- | error extra-cut 3/3");
    // A ramp is cut flat at its start height.
    const Checked ramp =
        RewriteAndCheck("G90 G00 X0 Y0 Z5.|G01 Z0 F100|X10. Z-1.|X0|G00 Z5.|M30", kSeg);
    EXPECT_THAT(Summary(ramp.report), HasSubstr("error lost-cut 3/-"));
    ASSERT_FALSE(ramp.report.findings.empty());
    EXPECT_THAT(ramp.report.FirstError()->message, HasSubstr("「後方から全て逆転」"));
    // Every line of a 3D finishing pass is a pass of its own.
    const Checked finish = RewriteAndCheck(
        "G90G00X0Y0Z5.|G01Z0F500|X1.Z-0.1|X2.Z-0.3|X3.Z-0.2|X4.Z-0.1|G00Z5.", kSegX);
    EXPECT_TRUE(finish.report.HasErrors());
    // A program that never states an absolute position.
    const Checked incremental = RewriteAndCheck("G91G01X10.F100|Y10.|X-10.|Y-10.|M30", kWhole);
    ASSERT_TRUE(incremental.report.HasErrors());
    EXPECT_EQ(incremental.report.FirstError()->kind, FindingKind::UnknownPosition);
    EXPECT_THAT(incremental.report.FirstError()->message, HasSubstr("G90"));
    // Reversed whole, each retract at rapid is a rapid plunge: warnings only.
    const Checked plunges = RewriteAndCheck(
        "T1M06|S1000M03|G90G00G43X0Y0Z5.H1|G01Z-1.F100|X10.|G00Z5.|X20.|G01Z-1.|Y10.|G00Z5.|M30",
        kWhole);
    EXPECT_EQ(Summary(plunges.report), "warning rapid-plunge 6/10 | warning rapid-plunge 10/6");
}

// The examples and a few generated programs, as the front ends would rewrite them.
std::vector<std::string> Programs()
{
    std::vector<std::string> programs = {
        "G90G00X0Y0Z5.S1000M03|G41D1G01Z-1.F200|X10.|G03X20.Y10.J10.|G40G01X30.|G00Z5.|M30",
        "T1M06|S1200M03|G54G90G00X0Y0|G43Z10.H1|G01Z-1.F100|G02X0Y0I5.J0|G00Z10.|M30",
    };
    for (const auto &entry : std::filesystem::directory_iterator(KORVANE_EXAMPLES)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        std::string joined;
        for (std::string_view line : SplitLines(bytes))
            joined += (joined.empty() ? "" : "|") + std::string(line);
        programs.push_back(joined);
    }
    return programs;
}

TEST(CheckRewrite, FindsNothingWhereNothingChanged)
{
    for (const std::string &program : Programs()) {
        SCOPED_TRACE(program.substr(0, 60));
        // A program compared with itself.
        EXPECT_EQ(Summary(CheckTexts(program, program, MirrorAxis::None)), "");
        for (const RewriteSettings &settings : kAllSettings) {
            SCOPED_TRACE(static_cast<int>(settings.mirrorAxis) + (settings.wholeProgram ? 10 : 0));
            const Checked once = RewriteAndCheck(program, settings);
            ASSERT_FALSE(once.report.HasErrors()) << Summary(once.report) << "\n" << once.output;
            // Mirrored twice, or reversed whole twice, a program cuts as it did.
            const Checked twice = RewriteAndCheck(once.output, settings);
            if (settings.mirrorAxis == MirrorAxis::None && !settings.wholeProgram)
                continue;
            const std::string again = twice.output;
            const CheckReport back = CheckTexts(program, again, MirrorAxis::None);
            EXPECT_FALSE(back.HasErrors()) << Summary(back) << "\n" << again;
        }
    }
}

TEST(CheckRewrite, ANudgedResultIsRefused)
{
    // Every cut of a checked result moved by 0.01 in turn: each is found.
    for (const std::string &program : Programs()) {
        for (const RewriteSettings &settings : {kWhole, kSegX}) {
            const Checked c = RewriteAndCheck(program, settings);
            const std::vector<std::string_view> source = Split(program);
            std::vector<std::string> lines;
            for (std::string_view l : Split(c.output))
                lines.emplace_back(l);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::size_t x = lines[i].find('X');
                if (x == std::string::npos || lines[i].find("G00") != std::string::npos ||
                    lines[i].find('(') != std::string::npos)
                    continue;
                std::vector<std::string> nudged = lines;
                nudged[i].insert(x + 1, "0.01+");
                // "X0.01+10." reads as X0.01 followed by a word "+": a different X.
                std::vector<std::string_view> views(nudged.begin(), nudged.end());
                const CheckReport report =
                    CheckRewrite(source, views, {settings.mirrorAxis, settings.wholeProgram});
                SCOPED_TRACE(nudged[i]);
                EXPECT_TRUE(report.HasErrors()) << c.output;
            }
        }
    }
}

TEST(CheckRewrite, KeepsTheFirstFindingsOfAProgramThatFailsEverywhere)
{
    std::string source = "G90G0X0Y0Z5.|G1Z-1.F100", result = source;
    for (int i = 1; i <= 3000; ++i) {
        source += "|X" + std::to_string(i) + ".";
        result += "|X" + std::to_string(i) + ".5";
    }
    const CheckReport report = CheckTexts(source, result, MirrorAxis::None);
    EXPECT_EQ(report.errorCount, 6000u);
    EXPECT_EQ(report.findings.size(), CheckReport::kMaxFindingsKept);
    EXPECT_EQ(report.findings.front().sourceLine, 2u);
    EXPECT_EQ(report.FirstError()->message,
              "この行の切削 X0 Y0 Z-1. → X1. Y0 Z-1. が、書き換えたプログラムにありません。"
              "傾斜（ランプ）や3Dの切削を含むパス、パスの間を送りで動くプログラムは、"
              "「後方から全て逆転」で書き換えてください。");
}

} // namespace
} // namespace korvane
