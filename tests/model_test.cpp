#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/UnitCall.h"
#include "model/block_record.h"
#include "model/errors.h"
#include "model/line_list.h"
#include "model/working_state.h"
#include "record_summary.h"

namespace korvane {
namespace {

using testutil::Changes;

double Below(double v)
{
    return std::nextafter(v, 0.0);
}

TEST(FormatCoord, WritesTheCoordinateText)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::string maxText = "179769313486231571" + std::string(291, '0') + ".";
    const struct {
        int line;
        double value;
        std::string expected;
    } rows[] = {
        {__LINE__, 0.0, "0"},
        {__LINE__, -0.0, "0"},
        {__LINE__, 0.0004, "0"},
        {__LINE__, -0.0004, "0"},
        {__LINE__, 0.0006, "0"},
        {__LINE__, -0.0006, "0"},
        {__LINE__, 0.000999, "0"},
        {__LINE__, 0.001, "0.001"},
        {__LINE__, -0.001, "-0.001"},
        // The bound is strict, taken against the double nearest 0.001, before any rounding.
        {__LINE__, Below(0.001), "0"},
        {__LINE__, -Below(0.001), "0"},
        {__LINE__, 0.0014, "0.001"},
        {__LINE__, 0.0015, "0.002"},
        // An exact tie goes away from zero, not to even.
        {__LINE__, 0.0625, "0.063"},
        {__LINE__, -0.0625, "-0.063"},
        {__LINE__, Below(0.0625), "0.062"},
        // 4.4e-19 below the tie: the cut to 18 significant digits lifts it; one ulp does not.
        {__LINE__, 0.1245, "0.125"},
        {__LINE__, Below(0.1245), "0.124"},
        {__LINE__, 0.5, "0.5"},
        {__LINE__, 0.9996, "1."},
        {__LINE__, -0.9996, "-1."},
        {__LINE__, 1.0005, "1."},
        {__LINE__, 2.0005, "2.001"},
        {__LINE__, 10.0, "10."},
        {__LINE__, -3.0, "-3."},
        {__LINE__, 10.1235, "10.123"},
        {__LINE__, -12.3455, "-12.345"},
        {__LINE__, 12.3456, "12.346"},
        {__LINE__, 100.25, "100.25"},
        {__LINE__, 999.9996, "1000."},
        {__LINE__, 1234.5678, "1234.568"},
        {__LINE__, 999999.0, "999999."},
        {__LINE__, 999999999.9995, "1000000000."},
        {__LINE__, 123456789012.3456, "123456789012.346"},
        {__LINE__, 1e20, "100000000000000000000."},
        {__LINE__, DBL_MAX, maxText},
        {__LINE__, -DBL_MAX, "-" + maxText},
        // No record holds these; the text must still never carry "inf" or "nan".
        {__LINE__, inf, "0"},
        {__LINE__, -inf, "0"},
        {__LINE__, std::numeric_limits<double>::quiet_NaN(), "0"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(FormatCoord(row.value), row.expected);
        std::string out = "X";
        detail::AppendCoordExact(out, row.value);
        EXPECT_EQ(out, "X" + row.expected);
    }
    std::string out = "X";
    AppendCoord(out, -1.5);
    EXPECT_EQ(out, "X-1.5");
}

// The fast path decides by the exact fraction of value * 1000 and hands values within 1e-6 of
// a tie to the digit-string method; both must agree everywhere.
TEST(FormatCoord, FastPathAgreesWithDigitStringMethod)
{
    std::mt19937_64 rng(0x4b6f7276);
    std::vector<double> values;
    for (int e = -4; e <= 12; ++e) {
        std::uniform_real_distribution<double> dist(std::pow(10.0, e), std::pow(10.0, e + 1));
        for (int i = 0; i < 3000; ++i)
            values.push_back(dist(rng));
    }
    const double offsets[] = {0.0, 1e-12, 1e-9, 4e-7, 5e-7, 6e-7, 9.9e-7, 1e-6, 1.01e-6, 3e-6};
    for (int i = 0; i < 20000; ++i) {
        const auto k = static_cast<double>(rng() % (std::uint64_t{1} << (i % 41)));
        for (double off : offsets) {
            values.push_back((k + 0.5 + off) / 1000.0);
            values.push_back((k + 0.5 - off) / 1000.0);
        }
        double up = (k + 0.5) / 1000.0, down = up;
        for (int step = 0; step < 3; ++step) {
            values.push_back(up = std::nextafter(up, DBL_MAX));
            values.push_back(down = std::nextafter(down, 0.0));
        }
    }
    for (int i = 0; i < 20000; ++i) {
        const auto v = std::bit_cast<double>(rng());
        if (std::isfinite(v))
            values.push_back(v);
    }

    std::string mismatches;
    int shown = 0;
    for (double v : values) {
        for (double signedV : {v, -v}) {
            const std::string fast = FormatCoord(signedV);
            std::string exact;
            detail::AppendCoordExact(exact, signedV);
            if (fast != exact && shown++ < 5)
                mismatches.append(testutil::Real(signedV))
                    .append(": ")
                    .append(fast)
                    .append(" vs ")
                    .append(exact)
                    .append("\n");
        }
    }
    EXPECT_EQ(mismatches, "") << values.size() << " values compared";
}

TEST(CoordChanged, ToleranceIsHeldInExtendedPrecision)
{
    const struct {
        int line;
        double a, b;
        bool changed;
    } rows[] = {
        // The double nearest 0.001 lies above the bound; 1.001 is stored a hair below 1 + 0.001.
        {__LINE__, 0.0, 0.001, true},         {__LINE__, 0.001, 0.0, true},
        {__LINE__, 0.0, Below(0.001), false}, {__LINE__, 1.0, 1.001, false},
        {__LINE__, 5.0, 5.0011, true},        {__LINE__, UNSET_COORD, UNSET_COORD, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(CoordChanged(row.a, row.b), row.changed);
    }
}

// Every field at zero, so that Changes() against it lists every non-zero field.
// A code, the digit written after its stem, and the code of a run the other way.
template <typename Code> struct CodeRow {
    int line;
    Code code;
    char digit;
    Code exchanged;
};

template <typename Code, std::size_t N>
void ExpectCodes(const CodeRow<Code> (&rows)[N], Code (*exchange)(Code))
{
    for (const CodeRow<Code> &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(CodeDigit(row.code), row.digit);
        EXPECT_EQ(exchange(row.code), row.exchanged);
    }
}

TEST(ModalCodes, WriteTheirDigitAndExchangeForARunBackwards)
{
    const CodeRow<Motion> motions[] = {
        {__LINE__, Motion::Rapid, '0', Motion::Rapid},
        {__LINE__, Motion::Linear, '1', Motion::Linear},
        {__LINE__, Motion::Clockwise, '2', Motion::CounterClockwise},
        {__LINE__, Motion::CounterClockwise, '3', Motion::Clockwise},
    };
    ExpectCodes(motions, ExchangedArc);
    const CodeRow<RadiusComp> sides[] = {
        {__LINE__, RadiusComp::Off, '0', RadiusComp::Off},
        {__LINE__, RadiusComp::Left, '1', RadiusComp::Right},
        {__LINE__, RadiusComp::Right, '2', RadiusComp::Left},
    };
    ExpectCodes(sides, ExchangedSide);
    EXPECT_EQ(CodeDigit(LengthComp::On), '3');
    EXPECT_EQ(CodeDigit(LengthComp::Off), '9');
    EXPECT_EQ(CodeDigit(DistanceMode::Incremental), '1');
}

// The modal codes are zero by default.
const BlockRecord kZero{0, 0, 0, 0, 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

std::string MemoryText(const EmitMemory &m)
{
    std::string out;
    out += std::to_string(m.lastSpindle) + " " + testutil::Real(m.lastFeed) + " ";
    for (long long v : {m.lastSeqNo, m.lastRadiusOffset, m.lastLengthOffset, m.lastTool,
                        static_cast<int>(m.lastRadiusComp), static_cast<int>(m.lastLengthComp),
                        static_cast<int>(m.lastMotion), static_cast<int>(m.lastDistanceMode),
                        m.lastPositionOffset})
        out += std::to_string(v) + " ";
    return out + testutil::Real(m.lastX) + " " + testutil::Real(m.lastY) + " " +
           testutil::Real(m.lastZ);
}

TEST(WorkingState, ResetRestoresModalFieldsAndLeavesArcData)
{
    const std::string resetBlock =
        "feed=-1 spindle=-1 seqNo=-1 lengthOffset=-1 tool=-1 radiusOffset=-1 "
        "startX=999999 startY=999999 startZ=999999 endX=999999 endY=999999 endZ=999999";
    const std::string resetMemory = "-1 -1 -1 -1 -1 -1 0 0 0 0 0 999999 999999 999999";
    EXPECT_EQ(Changes(BlockRecord{}, kZero), resetBlock);
    EXPECT_EQ(MemoryText(EmitMemory{}), resetMemory);

    WorkingState s;
    s.currentBlock = BlockRecord{1, 2, 3, 4, 5, 6, 7., 8., 9., 10., 11., 12., 1.5, 2.5, 3.5};
    s.currentBlock.motion = Motion::CounterClockwise;
    s.currentBlock.distanceMode = DistanceMode::Incremental;
    s.currentBlock.radiusComp = RadiusComp::Right;
    s.currentBlock.lengthComp = LengthComp::Off;
    s.currentBlock.workOffset = 55;
    s.currentBlock.positionOffset = 54;
    s.currentBlock.machineReference = true;
    s.memory = EmitMemory{1, 2, 3, 4, 5, 6};
    s.memory.lastRadiusComp = RadiusComp::Left;
    s.memory.lastLengthComp = LengthComp::On;
    s.memory.lastMotion = Motion::Clockwise;
    s.memory.lastDistanceMode = DistanceMode::Incremental;
    s.memory.lastPositionOffset = 56;
    s.memory.lastX = 7.;
    s.memory.lastY = 8.;
    s.memory.lastZ = 9.;
    s.blockList.resize(3);
    s.outputLines.Append("M30");
    s.programHeader = "O1";
    ResetState(s);
    EXPECT_EQ(Changes(s.currentBlock, kZero), resetBlock + " arcRadius=1.5 arcI=2.5 arcJ=3.5");
    EXPECT_EQ(MemoryText(s.memory), resetMemory);
    EXPECT_TRUE(s.blockList.empty());
    EXPECT_TRUE(s.outputLines.empty());
    EXPECT_EQ(s.programHeader, "");
}

TEST(WorkingState, CommitCopiesThenMovesEndToStart)
{
    WorkingState s;
    ResetState(s);
    s.currentBlock.endX = 4;
    s.currentBlock.endY = 5;
    s.currentBlock.feed = 100;
    const BlockRecord first = s.currentBlock;
    CommitLine(s);
    s.currentBlock.endZ = -2;
    const BlockRecord second = s.currentBlock;
    CommitLine(s);

    ASSERT_EQ(s.blockList.size(), 2u);
    EXPECT_EQ(Changes(s.blockList[0], first), "");
    EXPECT_EQ(Changes(s.blockList[1], first), "startX=4 startY=5 endZ=-2");
    EXPECT_EQ(Changes(s.blockList[1], second), "");
    EXPECT_EQ(Changes(s.currentBlock, first), "startX=4 startY=5 startZ=-2 endZ=-2");
}

TEST(LineList, AppendReplaceAndJoin)
{
    LineList list;
    for (std::string_view line : {"G00X1.", "", "M30"})
        list.Append(line);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.back(), "M30");
    EXPECT_EQ(list.TextBytes(), 9u);
    EXPECT_EQ(list.JoinCrLf(), "G00X1.\r\n\r\nM30\r\n");

    // In pieces: each ends with the line that reaches the size asked for.
    const struct {
        int line;
        std::size_t first, bytes;
        std::size_t next;
        const char *piece;
    } pieces[] = {
        {__LINE__, 0, 1, 1, "G00X1.\r\n"},
        {__LINE__, 0, 8, 1, "G00X1.\r\n"},
        {__LINE__, 0, 9, 2, "G00X1.\r\n\r\n"},
        {__LINE__, 1, 100, 3, "\r\nM30\r\n"},
        {__LINE__, 3, 100, 3, ""},
        {__LINE__, 0, 0, 0, ""},
    };
    for (const auto &row : pieces) {
        SCOPED_TRACE(row.line);
        std::string piece;
        EXPECT_EQ(list.AppendCrLf(piece, row.first, row.bytes), row.next);
        EXPECT_EQ(piece, row.piece);
    }

    list.Replace(0, "X2.");             // shorter: in place
    list.Replace(1, "G01Y3.F100");      // longer: moved to the end of the buffer
    list.Replace(2, list[1].substr(3)); // a view into the buffer itself
    list.Replace(0, list[1]);           // longer, from the buffer, which may reallocate
    list.Replace(1, list[1].substr(3)); // shorter and overlapping itself
    EXPECT_EQ(list.JoinCrLf(), "G01Y3.F100\r\nY3.F100\r\nY3.F100\r\n");
    EXPECT_EQ(list.TextBytes(), 24u);
    EXPECT_THROW(list.Replace(3, "X"), std::out_of_range);

    list.Clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.JoinCrLf(), "");
}

TEST(Errors, CarryTheExactTextAndTheFirstLine)
{
    EngineError e = EngineError::ListIndex(-1);
    EXPECT_FALSE(e.line().has_value());
    e.AttachLine(7);
    e.AttachLine(3); // the innermost caller that knows the line wins
    EXPECT_EQ(e.line(), std::optional<std::size_t>{7});
    EXPECT_THAT([&] { throw e; }, testing::ThrowsMessage<std::runtime_error>(testing::StrEq(
                                      "リストのインデックスが範囲を超えています (-1)")));
}

} // namespace
} // namespace korvane
