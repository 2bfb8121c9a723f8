#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "model/UnitCall.h"
#include "model/errors.h"
#include "model/working_state.h"
#include "parser/number_text.h"
#include "parser/parse_block.h"
#include "record_summary.h"

namespace korvane {
namespace {

using testing::StrEq;
using testing::ThrowsMessage;

// Messages show at most 64 characters of a number text.
std::string Shown(std::string_view t)
{
    return t.size() <= 64 ? std::string(t) : std::string(t.substr(0, 64)) + "...";
}
std::string NotFloat(std::string_view t)
{
    return "'" + Shown(t) + "' は浮動小数点数ではありません";
}
std::string NotInt(std::string_view t)
{
    return "'" + Shown(t) + "' は整数ではありません";
}

// Outcome suffixes: " | " before a refusal message, " ! " before an error text. The marks of
// the messages are the full-width forms.
const std::string kCanned = " | 固定サイクルは対応していません！";
const std::string kG18 = " | G18平面は対応していません！";
const std::string kG19 = " | G19平面は対応していません！";
const std::string kG91 =
    " | G91が含まれる為中止します！（G91移動は全て逆転する時のみ対応しています）";
const std::string kBadOp = " ! 不正な浮動小数点数演算命令";
std::string BadFloat(std::string_view t)
{
    return " ! " + NotFloat(t);
}
std::string BadInt(std::string_view t)
{
    return " ! " + NotInt(t);
}

// Reads the setup lines ("\n" between them; each accepted and committed as a rewrite does),
// then `input`. Returns the fields and program number that `input` changed, then its refusal
// or error.
std::string Read(std::string_view setup, std::string_view input, bool wholeProgram)
{
    WorkingState s;
    ResetState(s);
    for (std::size_t from = 0; from <= setup.size();) {
        const std::size_t to = std::min(setup.find('\n', from), setup.size());
        const std::string_view line = setup.substr(from, to - from);
        EXPECT_TRUE(ParseBlock(line, true, s.currentBlock, s.programHeader).accepted) << line;
        CommitLine(s);
        from = to + 1;
    }
    const BlockRecord before = s.currentBlock;
    const std::string headerBefore = s.programHeader;
    std::string tail;
    try {
        const ParseVerdict v = ParseBlock(input, wholeProgram, s.currentBlock, s.programHeader);
        EXPECT_EQ(v.accepted, v.message.empty());
        if (!v.accepted)
            tail = " | " + std::string(v.message);
    } catch (const EngineError &e) {
        tail = " ! " + std::string(e.what());
    }
    std::string changes = testutil::Changes(s.currentBlock, before);
    if (s.programHeader != headerBefore)
        changes += (changes.empty() ? "header=" : " header=") + s.programHeader;
    return changes + tail;
}

struct Row {
    int line;
    std::string_view setup;
    std::string input;
    std::string expected;
};

void Check(const std::vector<Row> &rows, bool wholeProgram)
{
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.input);
        EXPECT_EQ(Read(row.setup, row.input, wholeProgram), row.expected);
    }
}

// "X1.X2.X3." ... up to n words.
std::string XWords(int n)
{
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += "X" + std::to_string(i) + ".";
    return s;
}

TEST(ParseBlock, SplitsWordsAndCutsComments)
{
    Check({{__LINE__, "", "", ""},
           {__LINE__, "", "1234", ""},
           {__LINE__, "", "%", ""},
           {__LINE__, "", "(ROUGH) G01 X5.", ""},
           {__LINE__, "", "(G81 X1.2.3", ""},
           {__LINE__, "", "G01 X5. (FINISH) Y3.", "endX=5 motion=1"},
           {__LINE__, "", "g01 x5.", ""},
           {__LINE__, "", "100G01X5.", "endX=5 motion=1"},
           {__LINE__, "", "/N10G01X5.", "seqNo=10 endX=5 motion=1"},
           {__LINE__, "", "M03 S1000", "spindle=1000"},
           {__LINE__, "", "X.", "endX=0"},
           {__LINE__, "", "X-.5", "endX=-0.5"},
           {__LINE__, "", XWords(29), "endX=29"},
           {__LINE__, "", XWords(35), "endX=29"}, // the rest is ignored without a message
           {__LINE__, "", XWords(29) + "G18", "endX=29"},
           {__LINE__, "", XWords(29) + "X1.2.3", "endX=29"},
           // The program number is the whole last O word, never converted.
           {__LINE__, "", "O1234", "header=O1234"},
           {__LINE__, "", "O", "header=O"},
           {__LINE__, "O1234", "O0002X1.", "endX=1 header=O0002"},
           {__LINE__, "O1234", "G01 (O9)", "motion=1"},
           {__LINE__, "O1", "o5", ""}},
          false);
}

TEST(ParseBlock, MatchesGWordsByWholeText)
{
    Check({{__LINE__, "", "G1", "motion=1"},
           {__LINE__, "", "G01", "motion=1"},
           {__LINE__, "", "G001", ""},
           {__LINE__, "", "G1.0", ""},
           {__LINE__, "", "G01.", ""},
           {__LINE__, "G01", "G0", "motion=0"},
           {__LINE__, "G01", "G00", "motion=0"},
           {__LINE__, "", "G02", "motion=2"},
           {__LINE__, "", "G1G3", "motion=3"},
           {__LINE__, "", "G41", "radiusComp=1"},
           {__LINE__, "", "G42 D7", "radiusOffset=7 radiusComp=2"},
           {__LINE__, "G41 D7", "G40", "radiusOffset=-1 radiusComp=0"},
           {__LINE__, "G41 D7", "G40 D5", "radiusOffset=5 radiusComp=0"},
           {__LINE__, "", "G43", "lengthComp=3"},
           {__LINE__, "G43 H2", "G49", "lengthOffset=-1 lengthComp=9"},
           {__LINE__, "G43 H2", "H3 G49", "lengthOffset=3 lengthComp=9"},
           {__LINE__, "", "G91", "distanceMode=1"},
           {__LINE__, "G91", "G90", "distanceMode=0"},
           {__LINE__, "", "G04 G17 G20 G44 G80 G92", ""}},
          false);
}

TEST(ParseBlock, MachineReferenceLinesAndWorkOffsets)
{
    // On G28, G30 and G53 the axis words name machine positions: the work position stays.
    Check({{__LINE__, "X1Y2Z3", "G53 Z0.", "machineReference=1"},
           {__LINE__, "X1Y2Z3", "G28 Z0. H0", "lengthOffset=0 machineReference=1"},
           {__LINE__, "X1Y2Z3", "G91 G28 X0 Y0", "distanceMode=1 machineReference=1"},
           {__LINE__, "X1Y2Z3", "G30 X5. Y5.", "machineReference=1"},
           {__LINE__, "X1Y2Z3", "G53 X#1", "machineReference=1"}, // passed over, not read
           {__LINE__, "X1Y2Z3", "G053 Z0.", "endZ=0"},
           {__LINE__, "X1Y2Z3", "G53.1 Z0.", "endZ=0"},
           {__LINE__, "G28", "Z4.", "endZ=4 machineReference=0"}, // one line only
           // The last of G54 to G59; the offset of the numbers changes with an axis word.
           {__LINE__, "", "G55", "workOffset=55"},
           {__LINE__, "", "G55 G54 X0", "endX=0 workOffset=54 positionOffset=54"},
           {__LINE__, "G55 X0", "G56", "workOffset=56"},
           {__LINE__, "G55 X0", "G56 Y1.", "endY=1 workOffset=56 positionOffset=56"},
           {__LINE__, "G55 X0", "G54 G53 Z0.", "workOffset=54 machineReference=1"},
           {__LINE__, "", "G054 G54.1 G5.4 X0", "endX=0"}},
          false);
}

TEST(ParseBlock, RefusesCannedCyclesAndPlanesLastCauseWins)
{
    // The canned-cycle test holds the value in single precision, the bounds in extended.
    Check({{__LINE__, "", "G72.8", ""},
           {__LINE__, "", "G72.9", kCanned},
           {__LINE__, "", "G73", kCanned},
           {__LINE__, "", "G76", kCanned},
           {__LINE__, "", "G76.1", kCanned},
           {__LINE__, "", "G76.11", ""},
           {__LINE__, "", "G80", ""},
           {__LINE__, "", "G80.8", ""},
           {__LINE__, "", "G80.9", kCanned},
           {__LINE__, "", "G81", kCanned},
           {__LINE__, "", "G89", kCanned},
           {__LINE__, "", "G89.1", kCanned},
           {__LINE__, "", "G89.2", ""},
           {__LINE__, "", "G081", kCanned},
           {__LINE__, "", "G284", kCanned},
           {__LINE__, "", "G0284", ""},
           {__LINE__, "", "G18", kG18},
           {__LINE__, "", "G19", kG19},
           {__LINE__, "", "G81 G18", kG18},
           {__LINE__, "", "G18 G81", kCanned},
           {__LINE__, "", "G19 G18", kG18},
           {__LINE__, "", "G18 X1-", BadFloat("1-")},
           {__LINE__, "X0", "G81 G91 X1.", "endX=1 distanceMode=1" + kG91},
           {__LINE__, "", "G18 G01 X5.", "endX=5 motion=1" + kG18}},
          false);
}

TEST(ParseBlock, IncrementalMovesInBothModes)
{
    // Cutting-segment reversal refuses incremental X or Y travel, and only that.
    Check({{__LINE__, "X0Y0Z0", "G91 X0 Y0", "distanceMode=1"},
           {__LINE__, "X0Y0Z0", "G91 G28 X0 Y0", "distanceMode=1 machineReference=1"},
           {__LINE__, "X0Y0Z0", "G91 Z-5.", "endZ=-5 distanceMode=1"},
           {__LINE__, "X0Y0Z0", "G91 X0.00004", "distanceMode=1"},
           {__LINE__, "X0Y0Z0", "G91 X0.00005", "distanceMode=1"}, // 0.5 units: even is 0
           {__LINE__, "X0Y0Z0", "G91 X-0.00005", "distanceMode=1"},
           {__LINE__, "X0Y0Z0", "G91 X1.", "endX=1 distanceMode=1" + kG91},
           {__LINE__, "X0Y0Z0", "G91 Y-0.00015", "endY=-0.0002 distanceMode=1" + kG91},
           {__LINE__, "X0Y0Z0", "X10. G91", "endX=10 distanceMode=1" + kG91},
           {__LINE__, "X0Y0Z0", "G91 X1. G18", "endX=1 distanceMode=1" + kG91},
           {__LINE__, "X0Y0Z0\nG91", "X1.", "endX=1" + kG91},
           // From an unknown position the end stays unknown; the refusal still applies.
           {__LINE__, "", "G91 X10.", "distanceMode=1" + kG91},
           {__LINE__, "", "G91 Z-5.", "distanceMode=1"}},
          false);
    // Whole-program reversal takes it.
    const std::string nines(400, '9');
    Check(
        {{__LINE__, "X0Y0Z0", "G91 X1.", "endX=1 distanceMode=1"},
         // The increment is rounded to 0.0001 units, ties to even.
         {__LINE__, "X0Y0Z0", "G91 X0.00015", "endX=0.0002 distanceMode=1"},
         {__LINE__, "X0Y0Z0", "G91 X0.00025", "endX=0.0002 distanceMode=1"},
         {__LINE__, "X0Y0Z0", "G91 X-0.00025", "endX=-0.0002 distanceMode=1"},
         {__LINE__, "X0Y0Z0", "G91 X0.00035", "endX=0.0004 distanceMode=1"},
         {__LINE__, "X0Y0Z0", "G91 X1.23456", "endX=1.2346 distanceMode=1"},
         // The start is not quantised: 0.1235 or 0.1236 would show a rounded start.
         {__LINE__, "X0.12345", "G91 X0.0001", "endX=0.12355000000000001 distanceMode=1"},
         {__LINE__, "X5.", "G91 X1. X2.", "endX=7 distanceMode=1"},
         {__LINE__, "X5.", "X1. X2.", "endX=2"},
         {__LINE__, "X3.", "G91 X1. Y1. Z1.", "endX=4 distanceMode=1"},
         {__LINE__, "", "G91 Z-5.", "distanceMode=1"},
         // 10000 times the increment must fit a signed 64-bit integer.
         {__LINE__, "X0Y0", "G91 X922337203685477.5807", "endX=922337203685477.6 distanceMode=1"},
         {__LINE__, "X0Y0", "G91 Y-922337203685477.5808", "endY=-922337203685477.6 distanceMode=1"},
         {__LINE__, "X0Y0", "G91 X922337203685477.5808", "distanceMode=1" + kBadOp},
         {__LINE__, "X0Y0", "G91 Y-922337203685477.5809", "distanceMode=1" + kBadOp},
         {__LINE__, "", "G91 Z10000000000000000000.", "distanceMode=1" + kBadOp},
         {__LINE__, "", "G91 X1.2.3", "distanceMode=1" + BadFloat("1.2.3")},
         {__LINE__, "X0Y0", "G91 X1. Y" + nines, "endX=1 distanceMode=1" + BadFloat(nines)}},
        true);
}

TEST(ParseBlock, ArcOffsetsMeasureFromTheEndKnownAtTheWord)
{
    const std::string filler(50, 'M'); // pushes the J word past the 29th word
    const std::string_view arc = "X0Y0\nG02 X1. R5. I2. J1.";
    Check({{__LINE__, "X0Y0", "G02 X10. Y0 I5. J0", "endX=10 arcI=-5 motion=2"},
           {__LINE__, "X0Y0", "G02 I5. J0 X10. Y0", "endX=10 arcI=5 motion=2"},
           {__LINE__, "X0Y0", "G02 X10. Y10. I10.", "endX=10 endY=10 arcJ=-10 motion=2"},
           {__LINE__, "X0Y0", "G03 X10. Y10. J10.", "endX=10 endY=10 arcI=-10 motion=3"},
           {__LINE__, "X0Y0", "G02 X10. Y10. I10. (J5.)", "endX=10 endY=10 arcJ=-10 motion=2"},
           {__LINE__, "X0Y0", "G02 X10. Y10. I10. j5.", "endX=10 endY=10 arcJ=-10 motion=2"},
           {__LINE__, "X0Y0", "G02X10.Y10.I10." + filler + "J5.", "endX=10 endY=10 motion=2"},
           {__LINE__, "X0Y0", "G02 X10. Y5. I3. J4. R5.",
            "endX=10 endY=5 arcRadius=5 arcI=-7 arcJ=-1 motion=2"},
           {__LINE__, "X0Y0", "X10. I5. X20.", "endX=20 arcI=-5"},
           // The word's value becomes a double (1.5, a tie to even) before the sum.
           {__LINE__, "X0Y0", "X1. I1.500000000000000111", "endX=1 arcI=0.5"},
           {__LINE__, "X0Y0", "Y1. J1.500000000000000111", "endY=1 arcJ=0.5"},
           // From a start not known yet the offsets stay as written: no distance is ever
           // built from the unknown-position mark.
           {__LINE__, "", "G02 X-20. Y5. I3.", "endX=-20 endY=5 arcI=3 motion=2"},
           {__LINE__, "Y0", "G03 X-20. Y5. J2.", "endX=-20 endY=5 arcJ=-3 motion=3"},
           // Arc data lives for one line, also across a comment line.
           {__LINE__, arc, "(NOTE)", "arcRadius=0 arcI=0 arcJ=0"},
           {__LINE__, arc, "G01 X2.", "endX=2 arcRadius=0 arcI=0 arcJ=0 motion=1"}},
          false);
}

TEST(ParseBlock, IntegerWordsAndMalformedNumbers)
{
    const std::string nines(400, '9');
    const std::string tiny = "0." + std::string(399, '0') + "1";
    // Feeds keep their fraction.
    Check({{__LINE__, "", "F1500.0", "feed=1500"},
           {__LINE__, "", "F99.9", "feed=99.9"},
           {__LINE__, "", "F9.549", "feed=9.549"},
           {__LINE__, "", "F-2.7", "feed=-2.7"},
           {__LINE__, "", "F1.2.3", BadFloat("1.2.3")},
           {__LINE__, "", "S1000 T12 N10 H3 D5",
            "spindle=1000 seqNo=10 lengthOffset=3 tool=12 radiusOffset=5"},
           {__LINE__, "", "N2147483647 D-2147483648 S007",
            "spindle=7 seqNo=2147483647 radiusOffset=-2147483648"},
           // A malformed number ends the line; the words before it stay applied.
           {__LINE__, "", "X 5.", BadFloat("")},
           {__LINE__, "", "X+5.", BadFloat("")},
           {__LINE__, "", "G", BadFloat("")},
           {__LINE__, "", "G1.2.3", BadFloat("1.2.3")},
           {__LINE__, "", "R-", BadFloat("-")},
           {__LINE__, "", "I.5.", BadFloat(".5.")},
           {__LINE__, "", "X5. G1-", BadFloat("1-")}, // the G pass runs first
           {__LINE__, "", "G91 G", "distanceMode=1" + BadFloat("")},
           {__LINE__, "", "G01 X5. Y1.2.3 Z1.", "endX=5 motion=1" + BadFloat("1.2.3")},
           {__LINE__, "", "X" + nines,
            " ! '" + std::string(64, '9') + "...' は浮動小数点数ではありません"},
           {__LINE__, "", "X" + nines, BadFloat(nines)},
           {__LINE__, "", "Z" + tiny, BadFloat(tiny)},
           {__LINE__, "", "S100 F.5 T3", "feed=0.5 spindle=100 tool=3"},
           {__LINE__, "", "S100 F T3", "spindle=100" + BadFloat("")},
           {__LINE__, "", "S1000.", BadInt("1000.")},
           {__LINE__, "", "T1.5", BadInt("1.5")},
           {__LINE__, "", "H", BadInt("")},
           {__LINE__, "", "S-", BadInt("-")},
           {__LINE__, "", "T1-", BadInt("1-")},
           {__LINE__, "", "N--1", BadInt("--1")},
           {__LINE__, "", "N2147483648", BadInt("2147483648")},
           {__LINE__, "", "D-2147483649", BadInt("-2147483649")},
           {__LINE__, "", "H99999999999999999999", BadInt("99999999999999999999")}},
          false);
}

// The exact decimal text of an extended value that holds an integer.
std::string Digits(long double v)
{
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 0);
    return std::string(buf, res.ptr);
}

// Halfway between the largest double and 2^1024: from here on a stored double overflows.
constexpr long double kOverflowMidpoint = 0x1p1024L - 0x1p970L;
// A hair above 1 + 2^-53, the midpoint between 1 and the next double; too long for the exact
// product or quotient.
const std::string kAboveTie = "1.00000000000000011102230246251565404236316680908203125000001";

TEST(ConvertReal, ReadsStrictDecimalTextToTheNearestExtended)
{
    const struct {
        int line;
        std::string text;
        long double value;
    } rows[] = {
        {__LINE__, ".", 0.0L},
        {__LINE__, "-.", -0.0L},
        {__LINE__, "-0", -0.0L},
        {__LINE__, "5.", 5.0L},
        {__LINE__, ".5", 0.5L},
        {__LINE__, "-007.250", -7.25L},
        {__LINE__, "0.1", 0.1L},
        {__LINE__, "123456789.123456789", 123456789.123456789L},
        {__LINE__, "9999999999999999999", 9999999999999999999.0L}, // 19 digits, exact
        {__LINE__, "99999999999999999999", 1e20L},
        {__LINE__, "18446744073709551617", 0x1p64L}, // a tie, to even
        {__LINE__, "1" + std::string(30, '0'), 1e30L},
        {__LINE__, "0." + std::string(29, '0') + "1", 1e-30L},
        {__LINE__, kAboveTie, 1 + 0x1p-53L},
        {__LINE__, Digits(kOverflowMidpoint - 0x1p960L), kOverflowMidpoint - 0x1p960L},
        {__LINE__, "0." + std::string(323, '0') + "25", 2.5e-324L}, // a subnormal double
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        const long double got = ConvertReal(row.text);
        EXPECT_EQ(got, row.value);
        EXPECT_EQ(std::signbit(got), std::signbit(row.value));
    }
}

TEST(ConvertReal, RefusesMalformedAndOutOfRangeText)
{
    EXPECT_THAT([] { ConvertReal("1.2.3"); },
                ThrowsMessage<EngineError>(StrEq("'1.2.3' は浮動小数点数ではありません")));
    const std::string rows[] = {
        "",
        "-",
        "1.2.3",
        "..",
        "1-",
        "--1",
        "+1",
        "1e5",
        " 1",
        "1,5",
        "0x1",
        Digits(kOverflowMidpoint),
        "1" + std::string(309, '0'),
        std::string(400, '9'),
        "-" + std::string(400, '9'),
        "0." + std::string(399, '0') + "1",
        "0." + std::string(323, '0') + "24", // below half the smallest subnormal
    };
    for (const std::string &text : rows) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_THAT([&] { ConvertReal(text); }, ThrowsMessage<EngineError>(StrEq(NotFloat(text))));
    }
}

// Text -> nearest extended -> nearest double: these texts round in extended exactly onto a
// midpoint between two doubles, which then goes to the even one.
TEST(ConvertReal, StoredValueIsRoundedTwice)
{
    const struct {
        int line;
        std::string text;
        double stored, roundedOnce;
    } rows[] = {
        {__LINE__, "29.16345753315765954", 0x1.d29d85a57326ep+4, 0x1.d29d85a57326dp+4},
        {__LINE__, "325.2383837766329009", 0x1.453d06b81c890p+8, 0x1.453d06b81c891p+8},
        {__LINE__, kAboveTie, 1.0, 0x1.0000000000001p+0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(static_cast<double>(ConvertReal(row.text)), row.stored);
        EXPECT_EQ(std::strtod(row.text.c_str(), nullptr), row.roundedOnce);
        EXPECT_EQ(Read("", "X" + row.text, false), "endX=" + testutil::Real(row.stored));
    }
}

// Up to 19 significant digits take the exact product or quotient, longer texts the digit
// string; both must give the correctly rounded extended value.
TEST(ConvertReal, AgreesWithACorrectlyRoundedReference)
{
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    std::mt19937_64 rng(7);
    int mismatches = 0;
    for (int i = 0; i < 50000 && mismatches < 5; ++i) {
        std::string text = (rng() % 2) ? "-" : "";
        const auto digits = rng() % 30 + 1;
        const auto point = rng() % (digits + 2); // digits + 1: no point
        for (std::uint64_t d = 0; d < digits; ++d)
            text += std::string(d == point ? "." : "") + static_cast<char>('0' + rng() % 10);
        text += std::string(point == digits ? "." : "");
        text += std::string(rng() % 3 == 0 ? rng() % 15 : 0, '0');
        if (ConvertReal(text) != strtold_l(text.c_str(), nullptr, c)) {
            ADD_FAILURE() << text;
            ++mismatches;
        }
    }
    freelocale(c);
}

TEST(StoreReal, RoundsOnceAndRefusesOverflow)
{
    EXPECT_EQ(StoreReal(1 + 0x1p-53L), 1.0);
    EXPECT_EQ(StoreReal(kOverflowMidpoint - 0x1p960L), DBL_MAX);
    EXPECT_EQ(StoreReal(-kOverflowMidpoint + 0x1p960L), -DBL_MAX);
    for (long double v : {kOverflowMidpoint, 0x1p1024L, -kOverflowMidpoint, 1e400L}) {
        SCOPED_TRACE(static_cast<double>(v));
        EXPECT_THAT([&] { StoreReal(v); },
                    ThrowsMessage<EngineError>(StrEq("不正な浮動小数点数演算命令")));
    }
}

TEST(NumberText, DecimalMarkIgnoresTheProcessLocale)
{
    struct Restore {
        std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        ~Restore() { std::setlocale(LC_NUMERIC, saved.c_str()); }
    } restore;
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    BlockRecord b;
    std::string header;
    // The long Y text takes the digit-string conversion.
    EXPECT_TRUE(ParseBlock("X1.5Y2.50000000000000000000000001", false, b, header).accepted);
    EXPECT_EQ(b.endX, 1.5);
    EXPECT_EQ(b.endY, 2.5);
    EXPECT_EQ(FormatCoord(1.5), "1.5");
    EXPECT_EQ(FormatCoord(-0.1245), "-0.125");
    EXPECT_EQ(FormatCoord(1e20), "100000000000000000000.");
}

} // namespace
} // namespace korvane
