#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/UnitCall.h"
#include "model/errors.h"
#include "record_summary.h"
#include "table_text.h"
#include "transform/cutting_segments.h"
#include "transform/emitter.h"
#include "transform/execute.h"

namespace korvane {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

using testutil::kSeg;
using testutil::kSegX;
using testutil::kSegY;
using testutil::kWhole;
using testutil::kWholeX;
using testutil::kWholeY;

std::vector<std::string_view> Split(std::string_view text)
{
    return testutil::BarLines(text);
}

std::string Joined(const LineList &lines)
{
    std::string s;
    for (std::size_t i = 0; i < lines.size(); ++i)
        s.append(i == 0 ? "" : "|").append(lines[i]);
    return s;
}

LineList MakeLines(std::string_view text)
{
    LineList lines;
    for (std::string_view line : Split(text))
        lines.Append(line);
    return lines;
}

// The memory fields that differ from their reset values, e.g. "F200 S1000 m1 X0 Y0 Z5.".
std::string MemorySummary(const EmitMemory &m)
{
    std::string s;
    auto word = [&s](const char *name, std::int32_t value, std::int32_t reset) {
        if (value != reset)
            s.append(s.empty() ? "" : " ").append(name).append(std::to_string(value));
    };
    auto coord = [&s](const char *name, double value) {
        if (value != UNSET_COORD)
            s.append(s.empty() ? "" : " ").append(name).append(FormatCoord(value));
    };
    if (m.lastFeed != -1)
        s.append(s.empty() ? "" : " ").append("F").append(testutil::Real(m.lastFeed));
    word("S", m.lastSpindle, -1);
    word("N", m.lastSeqNo, -1);
    word("D", m.lastRadiusOffset, -1);
    word("H", m.lastLengthOffset, -1);
    word("T", m.lastTool, -1);
    word("c", static_cast<int>(m.lastRadiusComp), 0);
    word("l", static_cast<int>(m.lastLengthComp), 0);
    word("m", static_cast<int>(m.lastMotion), 0);
    word("d", static_cast<int>(m.lastDistanceMode), 0);
    word("G", m.lastPositionOffset, 0);
    coord("X", m.lastX);
    coord("Y", m.lastY);
    coord("Z", m.lastZ);
    return s;
}

struct Call {
    BlockRecord cur;
    BlockRecord prev;
    bool firstOfRun;
};

// Records of a four-line program: a rapid with S1000, a compensated cut to (10, 0), a
// counter-clockwise arc to (20, 10) around (10, 10), and a cancel on the way to (30, 10).
constexpr BlockRecord kR0{.spindle = 1000};
constexpr BlockRecord kR1{.feed = 200,
                          .spindle = 1000,
                          .radiusOffset = 1,
                          .startX = 0,
                          .startY = 0,
                          .startZ = 5,
                          .motion = Motion::Linear,
                          .radiusComp = RadiusComp::Left};
constexpr BlockRecord kR2{.feed = 200,
                          .spindle = 1000,
                          .radiusOffset = 1,
                          .startX = 10,
                          .startY = 0,
                          .startZ = 5,
                          .arcI = -10,
                          .motion = Motion::CounterClockwise,
                          .radiusComp = RadiusComp::Left};
constexpr BlockRecord kR3{.feed = 200,
                          .spindle = 1000,
                          .startX = 20,
                          .startY = 10,
                          .startZ = 5,
                          .motion = Motion::Linear};
constexpr EmitMemory kAtR3End{.lastX = 30, .lastY = 10, .lastZ = 5};

// A compensated pass at depth -2, with tool 1 and H1 active, to be cut in place.
constexpr BlockRecord PassRecord(double startX, double startY)
{
    return {.feed = 150,
            .lengthOffset = 1,
            .tool = 1,
            .radiusOffset = 1,
            .startX = startX,
            .startY = startY,
            .startZ = -2,
            .motion = Motion::Linear,
            .radiusComp = RadiusComp::Left,
            .lengthComp = LengthComp::On};
}
constexpr BlockRecord kS0 = PassRecord(0, 10);
constexpr BlockRecord kS1 = PassRecord(0, 0);
constexpr BlockRecord kS2 = PassRecord(10, 0);
constexpr EmitMemory kAfterS{.lastFeed = 150,
                             .lastRadiusOffset = 1,
                             .lastLengthOffset = 1,
                             .lastTool = 1,
                             .lastRadiusComp = RadiusComp::Left,
                             .lastLengthComp = LengthComp::On,
                             .lastMotion = Motion::Linear,
                             .lastX = 10,
                             .lastY = 10,
                             .lastZ = 5};

TEST(EmitReversedBlock, WritesWordsAgainstMemory)
{
    const BlockRecord none{};
    const BlockRecord cutTo5{.startX = 5, .motion = Motion::Linear};
    const BlockRecord cutTo10{.startX = 10, .motion = Motion::Linear};
    const BlockRecord steady{.feed = 100,
                             .spindle = 1000,
                             .tool = 1,
                             .startX = 5,
                             .startY = 0,
                             .startZ = -1,
                             .motion = Motion::Linear};
    const BlockRecord steadyPrev{.lengthOffset = 1,
                                 .radiusOffset = 1,
                                 .radiusComp = RadiusComp::Left,
                                 .lengthComp = LengthComp::On};
    const EmitMemory steadyMemory{.lastSpindle = 1000,
                                  .lastFeed = 100,
                                  .lastRadiusOffset = 1,
                                  .lastLengthOffset = 1,
                                  .lastTool = 1,
                                  .lastRadiusComp = RadiusComp::Left,
                                  .lastLengthComp = LengthComp::On,
                                  .lastMotion = Motion::Linear,
                                  .lastX = 5,
                                  .lastY = 0,
                                  .lastZ = -1};
    const BlockRecord toolAndComp{.tool = 2, .startX = 5, .motion = Motion::Linear};
    const BlockRecord prevG41G43{.lengthOffset = 2,
                                 .radiusOffset = 1,
                                 .radiusComp = RadiusComp::Left,
                                 .lengthComp = LengthComp::On};
    const BlockRecord prevG41{.radiusOffset = 1, .radiusComp = RadiusComp::Left};
    const BlockRecord prevG43{.lengthOffset = 2, .lengthComp = LengthComp::On};
    const EmitMemory compOn{
        .lastRadiusOffset = 1, .lastRadiusComp = RadiusComp::Left, .lastMotion = Motion::Linear};
    const EmitMemory lengthOn{
        .lastLengthOffset = 1, .lastLengthComp = LengthComp::On, .lastMotion = Motion::Linear};
    const BlockRecord arcIJ{
        .startX = 5, .startY = 2, .arcI = -5, .arcJ = 1, .motion = Motion::CounterClockwise};
    const BlockRecord arcR{
        .startX = 5, .startY = 2, .arcRadius = 5, .arcI = -5, .motion = Motion::Clockwise};
    const BlockRecord arcJOnly{.arcJ = 2, .motion = Motion::Clockwise};
    const BlockRecord n10To5{.seqNo = 10, .startX = 5};
    const BlockRecord incremental{
        .startX = 5, .motion = Motion::Linear, .distanceMode = DistanceMode::Incremental};
    const BlockRecord prevG49{.lengthComp = LengthComp::Off};
    const BlockRecord prevG43H1{.lengthOffset = 1, .lengthComp = LengthComp::On};
    const BlockRecord prevG40D2{.radiusOffset = 2};
    const BlockRecord prevG41D2{.radiusOffset = 2, .radiusComp = RadiusComp::Left};
    const EmitMemory afterLinear{.lastMotion = Motion::Linear};
    const EmitMemory afterClockwise{.lastMotion = Motion::Clockwise};
    struct Row {
        int line;
        RewriteSettings settings;
        EmitMemory before;
        std::vector<Call> calls;
        const char *expected;
        const char *memoryAfter;
    };
    const Row rows[] = {
        // Three blocks of a whole program run backwards; memory holds record values.
        {__LINE__,
         kWhole,
         kAtR3End,
         {{kR3, kR2, true}, {kR2, kR1, false}, {kR1, kR0, false}},
         "M03S1000|G42D1G90G01X20.F200|G02X10.Y0I-10.J0|G40G01X0",
         "F200 S1000 m1 X0 Y0 Z5."},
        {__LINE__,
         kWholeX,
         kAtR3End,
         {{kR3, kR2, true}, {kR2, kR1, false}, {kR1, kR0, false}},
         "M03S1000|G41D1G90G01X-20.F200|G03X-10.Y0I10.J0|G40G01X0",
         "F200 S1000 m1 X0 Y0 Z5."},
        {__LINE__,
         kWholeY,
         kAtR3End,
         {{kR3, kR2, true}, {kR2, kR1, false}, {kR1, kR0, false}},
         "M03S1000|G41D1G90G01X20.F200|G03X10.Y0I-10.J0|G40G01X0",
         "F200 S1000 m1 X0 Y0 Z5."},
        // A segment's first block repeats an active compensation (exchanged only unmirrored);
        // the Z word is decided but dropped in place.
        {__LINE__,
         kSeg,
         kAfterS,
         {{kS2, kS1, true}, {kS1, kS0, false}},
         "G42G90G01Y0|X0",
         "F150 D1 H1 T1 c1 l3 m1 X0 Y0 Z-2."},
        {__LINE__,
         kSegX,
         kAfterS,
         {{kS2, kS1, true}, {kS1, kS0, false}},
         "G41G90G01Y0|X0",
         "F150 D1 H1 T1 c1 l3 m1 X0 Y0 Z-2."},
        // Nothing differs: not even an empty line.
        {__LINE__,
         kWhole,
         steadyMemory,
         {{steady, steadyPrev, false}},
         "",
         "F100 S1000 D1 H1 T1 c1 l3 m1 X5. Y0 Z-1."},
        // Words a record does not hold (-1) are never written.
        {__LINE__,
         kWhole,
         {.lastSpindle = 1000, .lastFeed = 100, .lastSeqNo = 7, .lastTool = 1},
         {{none, none, false}},
         "",
         "F100 S1000 N7 T1"},
        // Tool and spindle: own lines in whole mode, the spindle started after the tool
        // change; in place only remembered.
        {__LINE__, kWhole, {}, {{{.tool = 2}, none, false}}, "T2M06|", "T2"},
        {__LINE__,
         kWhole,
         {},
         {{{.spindle = 2000, .tool = 2}, none, false}},
         "T2M06|M03S2000|",
         "S2000 T2"},
        {__LINE__, kSeg, {}, {{{.spindle = 2000, .tool = 2}, none, false}}, "", "S2000 T2"},
        // Line assembly in whole mode: tool, length, compensation combinations.
        {__LINE__,
         kWhole,
         {},
         {{toolAndComp, prevG41G43, false}},
         "T2M06|G43H2|G42D1G01X5.",
         "D1 H2 T2 c1 l3 m1 X5."},
        {__LINE__,
         kWholeX,
         {},
         {{toolAndComp, prevG41G43, false}},
         "T2M06|G43H2|G41D1G01X-5.",
         "D1 H2 T2 c1 l3 m1 X5."},
        {__LINE__,
         kWhole,
         {},
         {{toolAndComp, prevG43, false}},
         "T2M06|G43H2|G01X5.",
         "H2 T2 l3 m1 X5."},
        {__LINE__,
         kWhole,
         {},
         {{toolAndComp, prevG41, false}},
         "T2M06|G42D1G01X5.",
         "D1 T2 c1 m1 X5."},
        {__LINE__,
         kWhole,
         {.lastLengthComp = LengthComp::On},
         {{{.startX = 5}, {.lengthOffset = 2}, false}},
         "G40H2X5.",
         "H2 X5."},
        // In place only an exact G49 survives: own line beside a compensation word, else inline.
        {__LINE__,
         kSeg,
         {.lastLengthOffset = 1,
          .lastRadiusComp = RadiusComp::Left,
          .lastLengthComp = LengthComp::On},
         {{n10To5, prevG49, false}},
         "G49|N10G40X5.",
         "N10 l9 X5."},
        {__LINE__,
         kSeg,
         {.lastLengthComp = LengthComp::On},
         {{n10To5, prevG49, false}},
         "N10G49X5.",
         "N10 l9 X5."},
        {__LINE__,
         kSeg,
         {.lastLengthComp = LengthComp::Off},
         {{{.startX = 5}, prevG43, false}},
         "X5.",
         "H2 l3 X5."},
        {__LINE__,
         kSeg,
         {.lastLengthComp = LengthComp::On},
         {{{.startX = 5}, {.lengthOffset = 2, .lengthComp = LengthComp::Off}, false}},
         "X5.",
         "H2 l9 X5."},
        // A bare cancel forgets its offset number, so the next start names it again.
        {__LINE__,
         kWhole,
         compOn,
         {{cutTo5, none, false}, {cutTo10, prevG41, false}},
         "G40X5.|G42D1X10.",
         "D1 c1 m1 X10."},
        {__LINE__,
         kWhole,
         compOn,
         {{cutTo5, prevG40D2, false}, {cutTo10, prevG41D2, false}},
         "G40D2X5.|G42X10.",
         "D2 c1 m1 X10."},
        {__LINE__,
         kWhole,
         lengthOn,
         {{cutTo5, prevG49, false}, {cutTo10, prevG43H1, false}},
         "G49X5.|G43H1X10.",
         "H1 l3 m1 X10."},
        // The output is absolute whatever the record's distance mode.
        {__LINE__, kWhole, afterLinear, {{incremental, none, true}}, "G90G01X5.", "m1 X5."},
        {__LINE__, kWhole, afterLinear, {{incremental, none, false}}, "X5.", "m1 X5."},
        // Arcs: always I and J (a mirrored zero is "0"), never with R; no distance-mode word.
        {__LINE__, kWhole, afterClockwise, {{arcJOnly, none, true}}, "G03I0J2.", "m2"},
        {__LINE__, kWholeX, afterClockwise, {{arcJOnly, none, true}}, "G02I0J2.", "m2"},
        {__LINE__, kWholeY, {}, {{arcIJ, none, false}}, "G03X5.Y-2.I-5.J-1.", "m3 X5. Y2."},
        {__LINE__, kWhole, {}, {{arcR, none, true}}, "G03X5.Y2.R5.", "m2 X5. Y2."},
        {__LINE__, kWholeY, {}, {{arcR, none, false}}, "G02X5.Y-2.R5.", "m2 X5. Y2."},
        // Coordinate tolerance, and unknown positions never written nor remembered.
        {__LINE__, kWhole, {.lastX = 0}, {{{.startX = 0.001}, none, false}}, "X0.001", "X0.001"},
        {__LINE__, kWholeX, {.lastX = 0}, {{{.startX = 0.001}, none, false}}, "X-0.001", "X0.001"},
        {__LINE__, kWhole, {.lastX = 10}, {{{.startX = 10.001}, none, false}}, "", "X10."},
        {__LINE__, kWhole, {.lastX = 5}, {{none, none, false}}, "", "X5."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row at line " << row.line);
        WorkingState state;
        state.memory = row.before;
        for (const Call &call : row.calls)
            EmitReversedBlock(call.cur, call.prev, call.firstOfRun, row.settings, state);
        EXPECT_EQ(Joined(state.outputLines), row.expected);
        EXPECT_EQ(state.outputLines.size(), Split(row.expected).size());
        EXPECT_EQ(MemorySummary(state.memory), row.memoryAfter);
    }
}

TEST(MirrorLineText, TurnsTheSignOfTheFirstWordInTheCode)
{
    struct Row {
        int line;
        MirrorAxis axis;
        const char *input;
        const char *expected;
    };
    const Row rows[] = {
        {__LINE__, MirrorAxis::X, "G00X10.Y5.", "G00X-10.Y5."},
        {__LINE__, MirrorAxis::X, "G00X-10.Y-5.", "G00X10.Y-5."},
        {__LINE__, MirrorAxis::X, "G00X0Y5.", "G00X0Y5."},
        {__LINE__, MirrorAxis::X, "G00X0.5Y5.", "G00X-0.5Y5."},
        {__LINE__, MirrorAxis::X, "G00X0.Y5.", "G00X-0.Y5."},
        {__LINE__, MirrorAxis::X, "G00X05.Y5.", "G00X-05.Y5."},
        {__LINE__, MirrorAxis::X, "G00X05Y5.", "G00X-05Y5."},
        {__LINE__, MirrorAxis::X, "G00X0", "G00X0"},
        {__LINE__, MirrorAxis::X, "G00X00Y5.", "G00X00Y5."},
        {__LINE__, MirrorAxis::X, "G00Z50.", "G00Z50."},
        {__LINE__, MirrorAxis::X, "(MAX DEPTH)", "(MAX DEPTH)"},
        {__LINE__, MirrorAxis::X, "G00X10.(X-SIDE)", "G00X-10.(X-SIDE)"},
        {__LINE__, MirrorAxis::X, "G00X-10.(X-SIDE)", "G00X10.(X-SIDE)"},
        {__LINE__, MirrorAxis::X, "G00Z5.(X-SIDE)", "G00Z5.(X-SIDE)"},
        {__LINE__, MirrorAxis::Y, "G00X10.Y5.", "G00X10.Y-5."},
        {__LINE__, MirrorAxis::Y, "G00X-10.Y-5.", "G00X-10.Y5."},
        {__LINE__, MirrorAxis::Y, "G00X10.Y0", "G00X10.Y0"},
        {__LINE__, MirrorAxis::Y, "(KEYWAY)", "(KEYWAY)"},
        {__LINE__, MirrorAxis::None, "G00X10.Y-5.(X-SIDE)", "G00X10.Y-5.(X-SIDE)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row at line " << row.line);
        EXPECT_EQ(MirrorLineText(row.input, row.axis), row.expected);
    }
    EXPECT_EQ(CodePart("G01X5.(A)Y3.(B)"), "G01X5.");
    EXPECT_EQ(CodePart("(A)"), "");
    EXPECT_EQ(CodePart("G01X5."), "G01X5.");
}

TEST(RetargetApproach, RewritesTheLastXAndTheLastY)
{
    struct Row {
        int line;
        const char *before;
        std::optional<double> x, y;
        const char *after;
    };
    const Row rows[] = {
        {__LINE__, "G00X0Y0|G01Z-1.F100", -30, 40, "G00X-30.Y40.|G01Z-1.F100"},
        {__LINE__, "G00X5.|Y7.|G01Z-1.", 12.5, -3, "G00X12.5|Y-3.|G01Z-1."},
        {__LINE__, "G00X10.Y20.M08", -30, 40, "G00X-30.Y40.M08"},
        {__LINE__, "G00X0.Y0.", 0, 0, "G00X0Y0"},
        {__LINE__, "G00XY2.", 5, 6, "G00X5.Y6."},
        // A letter that ends its line is found but left unchanged.
        {__LINE__, "G00X1.Y2.|G01X", 5, 6, "G00X1.Y6.|G01X"},
        // Letters in comments do not count.
        {__LINE__, "G00X10.Y5.|(KEYWAY)", 1, 2, "G00X1.Y2.|(KEYWAY)"},
        {__LINE__, "G00X1.Y2.|X3.(Y)", 5, 6, "G00X1.Y6.|X5.(Y)"},
        {__LINE__, "G00X1.|G01Z-1.", 5, 6, "G00X5.|G01Z-1."},
        // An axis without a known value is left alone.
        {__LINE__, "G00X1.Y2.", std::nullopt, 6, "G00X1.Y6."},
        {__LINE__, "G00X1.Y2.", 5, std::nullopt, "G00X5.Y2."},
        {__LINE__, "", 5, 6, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row at line " << row.line);
        LineList lines = MakeLines(row.before);
        LastAxisLines seen;
        RetargetApproach(lines, seen, row.x, row.y);
        EXPECT_EQ(Joined(lines), row.after);
    }
}

TEST(RetargetApproach, FollowsLinesAppendedBetweenCalls)
{
    // As in a walk over several passes: each call sees what was appended since the last.
    struct Step {
        int line;
        const char *appended;
        std::optional<double> x, y;
        const char *after;
    };
    const Step steps[] = {
        {__LINE__, "G00X0Y0|G01Z-1.", 10, 20, "G00X10.Y20.|G01Z-1."},
        {__LINE__, "G01X5.|(X Y)", 30, 40, "G00X10.Y40.|G01Z-1.|G01X30.|(X Y)"},
        {__LINE__, "", 50, 60, "G00X10.Y60.|G01Z-1.|G01X50.|(X Y)"},
        {__LINE__, "G00Y7.X8.", 1, 2, "G00X10.Y60.|G01Z-1.|G01X50.|(X Y)|G00Y2.X1."},
    };
    LineList lines;
    LastAxisLines seen;
    for (const Step &step : steps) {
        SCOPED_TRACE(testing::Message() << "step at line " << step.line);
        for (std::string_view line : Split(step.appended))
            lines.Append(line);
        RetargetApproach(lines, seen, step.x, step.y);
        EXPECT_EQ(Joined(lines), step.after);
    }
}

// Runs the rewrite and sums up how it ended: the output lines joined by "|", or where and
// why it stopped.
std::string Rewrite(const RewriteSettings &settings, std::string_view program, WorkingState &state,
                    const RewriteTuning &tuning = {})
{
    const std::vector<std::string_view> lines = Split(program);
    try {
        const RewriteOutcome outcome = ExecuteRewrite(lines, settings, state, tuning);
        if (outcome.completed)
            return Joined(state.outputLines);
        EXPECT_TRUE(state.outputLines.empty());
        return "line " + std::to_string(outcome.refusedLine) + " refused after " +
               std::to_string(state.blockList.size()) + " records: " + std::string(outcome.message);
    } catch (const KorvaneError &error) {
        if (!error.line())
            return std::string("error: ") + error.what();
        return "line " + std::to_string(*error.line()) + " error after " +
               std::to_string(state.blockList.size()) + " records: " + error.what();
    }
}

struct ProgramRow {
    int line;
    RewriteSettings settings;
    const char *input;
    const char *expected;
};

// A rewrite of cutting passes beside the parser, whatever the program's length.
constexpr RewriteTuning kBesideTheParser{0};

// Each row is rewritten twice on one working state: the second run must not see the first.
// The second run reverses cutting passes on a thread beside the parser: the same result.
void ExpectRewrites(const std::vector<ProgramRow> &rows)
{
    for (const ProgramRow &row : rows) {
        SCOPED_TRACE(testing::Message() << "row at line " << row.line);
        WorkingState state;
        const std::string first = Rewrite(row.settings, row.input, state);
        EXPECT_EQ(first, row.expected);
        EXPECT_EQ(Rewrite(row.settings, row.input, state, kBesideTheParser), first)
            << "second run, same state, beside the parser";
    }
}

TEST(ExecuteRewrite, BesideTheParserGivesTheSameLongProgram)
{
    // Pockets at many depths, with arcs, compensation and a refusal-free tail.
    std::string program = "G90G00X0Y0Z5.S1000|T1M06|G43Z5.H1";
    for (int depth = 1; depth <= 400; ++depth) {
        const std::string z = std::to_string(-depth) + ".";
        program += "|G00Z1.|G01Z" + z + "F120|G41D1X10.Y0F300|Y20.|G03X0Y30.R10.|G01X-10.|";
        program += "G02X-20.Y20.I0J-10.|G01Y0|G40X0Y0|(PASS " + std::to_string(depth) + ")";
    }
    program += "|G00Z50.|M30";
    for (const RewriteSettings &settings : {kSegX, kSegY, kSeg}) {
        WorkingState alone, beside;
        EXPECT_EQ(Rewrite(settings, program, beside, kBesideTheParser),
                  Rewrite(settings, program, alone));
    }
}

TEST(ExecuteRewrite, RewritesWholePrograms)
{
    const char *program = "G90G00X0Y0Z5.S1000|G41D1G01X10.F200|G03X20.Y10.J10.|G40G01X30.";
    ExpectRewrites({
        {__LINE__, kWhole, program,
         "G90G00X30.Y10.Z5.|M03S1000|G42D1G90G01X20.F200|G02X10.Y0I-10.J0|G40G01X0|M30"},
        {__LINE__, kWholeX, program,
         "G90G00X-30.Y10.Z5.|M03S1000|G41D1G90G01X-20.F200|G03X-10.Y0I10.J0|G40G01X0|M30"},
        {__LINE__, kWholeY, program,
         "G90G00X30.Y-10.Z5.|M03S1000|G41D1G90G01X20.F200|G03X10.Y0I-10.J0|G40G01X0|M30"},
        {__LINE__, kWholeX, "G90G00X10.Y20.Z5.", "G90G00X-10.Y20.Z5.|M30"},
        // The first reversed block leaves out an axis on which the last block did not move.
        {__LINE__, kWholeX, "G90G00X0Y0Z5.|G01X10.F100|Y10.",
         "G90G00X-10.Y10.Z5.|G90G01Y0F100|X0|M30"},
        {__LINE__, kWholeX, "O1234|G00X10.Y20.Z5.|G01X0F100",
         "O1234|G90G00X0Y20.Z5.|G90G01X-10.F100|G00|M30"},
        // The opening rapid names only axes that some line has set.
        {__LINE__, kWholeY, "G01X10.F100", "G90G00X10.|M30"},
        {__LINE__, kWholeX, "(NO MOVE)", "G90G00|M30"},
        // Incremental input comes back as absolute positions under G90.
        {__LINE__, kWhole, "G90G00X0Y0Z5.|G91G01X10.F100|X10.",
         "G90G00X20.Y0Z5.|G90G01X10.F100|X0|M30"},
        {__LINE__, kWhole, "", "error: リストのインデックスが範囲を超えています (-1)"},
    });
}

TEST(ExecuteRewrite, KeepsToolsFeedsCirclesReferencesAndOffsetsRight)
{
    // Two tools: after each tool change its length offset and the spindle are written again,
    // the spindle after the change, which stops it.
    const std::string twoTools = "T1M06|S1000M03|G00G43Z50.H1|X0Y0|G01Z-1.F100|X10.|G00Z50.|"
                                 "T2M06|S{}M03|G43Z50.H2|X20.|G01Z-1.F100|Y10.|G00Z50.|M30";
    auto speeds = [&twoTools](const char *second) {
        std::string program = twoTools;
        return program.replace(program.find("{}"), 2, second);
    };
    const std::string sameSpeed = speeds("1000"), otherSpeed = speeds("2000");
    ExpectRewrites({
        {__LINE__, kWhole, sameSpeed.c_str(),
         "G90G00X20.Y10.Z50.|T2M06|G43H2|M03S1000|G90G00F100|Z-1.|G01Y0|Z50.|G00X10.|G43H1|"
         "T1M06|G43H1|M03S1000|Z-1.|G01X0|Z50.|G00|G40|M30"},
        {__LINE__, kWhole, otherSpeed.c_str(),
         "G90G00X20.Y10.Z50.|T2M06|G43H2|M03S2000|G90G00F100|Z-1.|G01Y0|Z50.|G00X10.|G43H1|"
         "M03S1000|T1M06|G43H1|M03S1000|Z-1.|G01X0|Z50.|G00|G40|M30"},
        // In place the copied lines carry tools and speeds.
        {__LINE__, kSeg, "T1M06|S1000M03|G00X0Y0Z5.|G01Z-1.F100|X10.|G00Z5.|M30",
         "T1M06|S1000M03|G00X10.Y0Z5.|G01Z-1.F100|G90G01X0Y0F100|G00Z5.|M30"},
        // A feed keeps its fraction; a whole one is written as an integer.
        {__LINE__, kWhole, "G00X0Y0Z5.|G01Z-1.F9.549|X10.F2.5|Y10.F1500.0|G00Z5.",
         "G90G00X10.Y10.Z5.|G90G00Z-1.F1500|G01Y0|X0F2.5|Z5.F9.549|M30"},
        {__LINE__, kSeg, "G00X0Y0Z5.|G01Z-1.F9.549|X10.F2.5|G00Z5.",
         "G00X10.Y0Z5.|G01Z-1.F9.549|G90G01X0Y0F2.5|G00Z5."},
        // A full circle is reversed whole as well, about the mirrored centre.
        {__LINE__, kWholeX, "G90G00X10.Y0Z5.|G01Z-1.F100|G02X10.Y0I-5.J0|G00Z5.",
         "G90G00X-10.Y0Z5.|G90G00Z-1.F100|G02I5.J0|G01Z5.|M30"},
        {__LINE__, kSegY, "G90G00X10.Y0Z5.|G01Z-1.F100|G03I-5.|G00Z5.",
         "G90G00X10.Y0Z5.|G01Z-1.F100|G03X10.Y0I-5.J0F100|G00Z5."},
        // Moves to the machine's reference do not move the work position, and end a pass.
        {__LINE__, kWhole, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|G53G00Z0.|M30",
         "G90G00X10.Y0Z-1.|G90G00F100|G01X0|Z5.|M30"},
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|Y10.|G91G28Z0.|G90|M30",
         "G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G91G28Z0.|G90|M30"},
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|Y10.|G53G00Z0.|X50.|M30",
         "G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G53G00Z0.|X50.|M30"},
        // Each reversed move goes under the work offset its destination was given in.
        {__LINE__, kWhole,
         "G54G90G00X0Y0Z5.|G01Z-1.F100|X10.|G00Z5.|G55X0Y0|G01Z-1.|X10.|"
         "G00Z5.|M30",
         "G55|G90G00X10.Y0Z5.|G90G00F100|Z-1.|G01X0|Z5.|G54|G00X10.|Z-1.|G01X0|Z5.|M30"},
        // A new H under G43 is written with its G43.
        {__LINE__, kWhole,
         "G43H1Z50.|G00X0Y0|G01Z-1.F100|X10.|G00Z50.|H2|X20.|G01Z-1.|Y10.|"
         "G00Z50.|M30",
         "G90G00X20.Y10.Z50.|G43H2G90G00F100|Z-1.|G01Y0|Z50.|G00X10.|G43H1|Z-1.|G01X0|Z50.|"
         "G00|M30"},
    });
}

TEST(ExecuteRewrite, ReversesCuttingSegmentsInPlace)
{
    const char *pass = "G90G00X0Y0Z5.|G01Z-1.F100|X10.(SIDE A)|Y10.|G00Z5.|M30";
    // One straight pass cut at two depths, the second after a retract, rapid and plunge.
    const char *twoDepths = "G90G00X0Y0Z5.|G01Z-5.F120|N100X-15.F300|N110G00Z5.|N120X0Y0|"
                            "N130G01Z-8.F120|N140X-15.F300|N150G00Z5.|M30";
    const char *circle = "G90G00X10.Y0Z5.|G01Z-1.F100|G02X10.Y0I-5.J0|G00Z5.";
    const char *keyway = "G90G00X0Y0Z5.|(KEYWAY)|G01Z-1.F100|X10.|Y10.|G00Z5.";
    ExpectRewrites({
        {__LINE__, kSeg, pass, "G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G00Z5.|M30"},
        {__LINE__, kSegX, pass, "G90G00X-10.Y10.Z5.|G01Z-1.F100|G90G01X-10.Y0F100|X0|G00Z5.|M30"},
        {__LINE__, kSegY, pass, "G90G00X10.Y-10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G00Z5.|M30"},
        {__LINE__, kSeg, twoDepths,
         "G90G00X-15.Y0Z5.|G01Z-5.F120|N100G90G01X0Y0F300|N110G00Z5.|N120X-15.Y0|"
         "N130G01Z-8.F120|N140G90G01X0Y0F300|N150G00Z5.|M30"},
        {__LINE__, kSegY, keyway,
         "G90G00X10.Y-10.Z5.|(KEYWAY)|G01Z-1.F100|G90G01X10.Y0F100|X0|G00Z5."},
        // Without a cutting move with XY travel every line is copied (mirrored by text).
        {__LINE__, kSeg, "G90G00X10.Y-5.Z5.(X-SIDE)|G01Z-1.F100|G00Z5.|M30",
         "G90G00X10.Y-5.Z5.(X-SIDE)|G01Z-1.F100|G00Z5.|M30"},
        {__LINE__, kSegX, "G90G00X10.Y-5.Z5.(X-SIDE)|G01Z-1.F100|G00Z5.|M30",
         "G90G00X-10.Y-5.Z5.(X-SIDE)|G01Z-1.F100|G00Z5.|M30"},
        // A full circle is a cutting pass: reversed, and mirrored around the mirrored centre.
        {__LINE__, kSeg, circle, "G90G00X10.Y0Z5.|G01Z-1.F100|G03X10.Y0I-5.J0F100|G00Z5."},
        {__LINE__, kSegX, circle, "G90G00X-10.Y0Z5.|G01Z-1.F100|G02X-10.Y0I5.J0F100|G00Z5."},
        {__LINE__, kSeg, "G90G00X10.Y0Z5.|G01Z-1.F100|X10.001|G00Z5.",
         "G90G00X10.Y0Z5.|G01Z-1.F100|X10.001|G00Z5."},
        // A travel of 0.001 counts: a segment of one record, closed by the retract.
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X0.001|G00Z5.",
         "G90G00X0.001Y0Z5.|G01Z-1.F100|G90G01X0Y0F100|G00Z5."},
        // A cutting move on the last line is a segment of its own.
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.",
         "G90G00X10.Y0Z5.|G01Z-1.F100|G90G01X0Y0F100"},
        {__LINE__, kSegX, "G90G00X0Y0Z5.|G01Z-1.F100|X10.",
         "G90G00X-10.Y0Z5.|G01Z-1.F100|G90G01X0Y0F100"},
        // A last cut at the depth of the pass before it is reversed with that pass.
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|Y10.",
         "G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0"},
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|Y10.|M30",
         "G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|M30"},
        // An axis no line has set is neither redirected nor written.
        {__LINE__, kSeg, "G91G28Y0|G90G00X0Z5.|G01Z-1.F100|X10.|G00Z5.",
         "G91G28Y0|G90G00X10.Z5.|G01Z-1.F100|G90G01X0F100|G00Z5."},
        // A zigzag: the second pass starts where the first reversed pass ends, so its
        // approach is that reversed cut itself.
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|X10.|G01Z-2.|X0|G00Z5.",
         "G90G00X10.Y0Z5.|G01Z-1.F100|G90G01X0Y0F100|G01Z-2.|G90G01X10.Y0F100|G00Z5."},
        {__LINE__, kSeg, "", ""},
        {__LINE__, kSeg, "G01X10.F100", "error: リストのインデックスが範囲を超えています (-1)"},
        {__LINE__, kSegX, "G01X10.F100|G00Z5.",
         "error: リストのインデックスが範囲を超えています (-1)"},
    });
}

TEST(ExecuteRewrite, StopsAtRefusedAndMalformedLines)
{
    ExpectRewrites({
        {__LINE__, kSeg, "G90G00X0Y0Z5.|G01Z-1.F100|G81X5.|M30",
         "line 2 refused after 2 records: 固定サイクルは対応していません！"},
        {__LINE__, kSegX, "G90G00X0Y0|G91X1.",
         "line 1 refused after 1 records: "
         "G91が含まれる為中止します！（G91移動は全て逆転する時のみ対応しています）"},
        {__LINE__, kWhole, "G18", "line 0 refused after 0 records: G18平面は対応していません！"},
        {__LINE__, kWhole, "G90G00X0Y0|G01X1..5|M30",
         "line 1 error after 1 records: '1..5' は浮動小数点数ではありません"},
        {__LINE__, kSeg, "G01F", "line 0 error after 0 records: '' は浮動小数点数ではありません"},
    });

    WorkingState state;
    const std::vector<std::string_view> none;
    EXPECT_THAT([&] { ExecuteRewrite(none, kWholeY, state); },
                ThrowsMessage<EngineError>(StrEq("リストのインデックスが範囲を超えています (-1)")));
}

} // namespace
} // namespace korvane
