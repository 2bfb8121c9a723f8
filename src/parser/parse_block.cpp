#include "parser/parse_block.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "model/errors.h"
#include "parser/number_text.h"

namespace korvane {
namespace {

// A line keeps at most this many words; the byte that would begin one more ends the walk.
constexpr int kMaxWords = 29;

// The twelve bytes that continue a word: the digits, "-" and ".".
constexpr auto kNumberChars = [] {
    std::array<bool, 256> table{};
    for (char c : std::string_view("0123456789-."))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool IsNumberChar(char c)
{
    return kNumberChars[static_cast<unsigned char>(c)];
}

bool Contains(std::string_view s, char c)
{
    return std::memchr(s.data(), c, s.size()) != nullptr;
}

// Canned cycles: the value held in single precision, the bounds in extended.
bool IsCannedCycleValue(long double value)
{
    if (std::fabs(value) > 1e30L)
        return false; // far outside both ranges (and outside what a float can hold)
    const long double asSingle = static_cast<float>(value);
    return (72.9L < asSingle && asSingle < 76.1L) || (80.9L < asSingle && asSingle < 89.1L);
}

// An axis word. Incremental words move by a whole number of 0.0001 units from the start.
// Returns the increment in those units (0 for an absolute word).
std::int64_t ApplyAxis(std::string_view number, DistanceMode distanceMode, double start,
                       double &end)
{
    const long double value = ConvertReal(number);
    if (distanceMode == DistanceMode::Absolute) {
        end = static_cast<double>(value);
        return 0;
    }
    const long double units = std::nearbyint(value * 10000.0L); // ties to even
    if (!(units >= -0x1p63L && units < 0x1p63L))
        throw EngineError::InvalidFloatOperation();
    const auto n = static_cast<std::int64_t>(units);
    if (start >= UNSET_COORD) {
        // A move relative to an unknown position leaves it unknown: writing
        // UNSET_COORD + increment would invent a coordinate no line gave.
        end = UNSET_COORD;
    } else {
        end = StoreReal((static_cast<long double>(start) * 10000.0L + static_cast<long double>(n)) /
                        10000.0L);
    }
    return n;
}

// An arc centre offset, moved from the start point to the end point (start - end + offset,
// in extended, rounded once). From a start that is not known yet the move cannot be made:
// the offset stays as written rather than becoming a distance from the unknown-position mark.
double OffsetFromEnd(double start, double end, double offset)
{
    if (start >= UNSET_COORD)
        return offset;
    return StoreReal((static_cast<long double>(start) - end) + offset);
}

// The number of a G word that this parser acts on by its whole text ("G1" and "G01", never
// "G001" or "G1.0"); nullopt for any other word.
std::optional<int> WholeTextGNumber(std::string_view n)
{
    if (n.size() == 1 && n[0] >= '0' && n[0] <= '3')
        return n[0] - '0'; // G0 .. G3
    if (n.size() == 2) {
        if (n[0] == '0' && n[1] >= '0' && n[1] <= '3')
            return n[1] - '0'; // G00 .. G03
        if ((n[0] == '1' && (n[1] == '8' || n[1] == '9')) ||
            (n[0] == '2' && n[1] == '8') || (n[0] == '3' && n[1] == '0') ||
            (n[0] == '4' && ((n[1] >= '0' && n[1] <= '3') || n[1] == '9')) ||
            (n[0] == '5' && n[1] >= '3' && n[1] <= '9') ||
            (n[0] == '9' && (n[1] == '0' || n[1] == '1')))
            return (n[0] - '0') * 10 + (n[1] - '0');
    }
    if (n == "284")
        return 284;
    return std::nullopt;
}

// A G word's number text made of up to nine digits only, as nearly every G word is: its value
// is that whole number, exactly, in any precision.
std::optional<int> PlainGNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Whether a G word's number names a canned cycle, by value; throws for a malformed number.
bool IsCannedCycle(std::string_view number)
{
    if (const std::optional<int> n = PlainGNumber(number))
        return (*n >= 73 && *n <= 76) || (*n >= 81 && *n <= 89); // the open ranges' integers
    return IsCannedCycleValue(ConvertReal(number));
}

// The effect of a G code matched by its whole text.
void ApplyGCode(int code, BlockRecord &b, std::string_view &message)
{
    switch (code) {
    case 0:
    case 1:
    case 2:
    case 3:
        b.motion = static_cast<Motion>(code); // the enumerators are the codes' digits
        break;
    case 18:
        message = kMsgPlaneG18;
        break;
    case 19:
        message = kMsgPlaneG19;
        break;
    case 28:
    case 30:
    case 53:
        b.machineReference = true;
        break;
    case 40:
        b.radiusComp = RadiusComp::Off;
        b.radiusOffset = -1;
        break;
    case 41:
        b.radiusComp = RadiusComp::Left;
        break;
    case 42:
        b.radiusComp = RadiusComp::Right;
        break;
    case 43:
        b.lengthComp = LengthComp::On;
        break;
    case 49:
        b.lengthComp = LengthComp::Off;
        b.lengthOffset = -1;
        break;
    case 54:
    case 55:
    case 56:
    case 57:
    case 58:
    case 59:
        b.workOffset = static_cast<std::uint8_t>(code);
        break;
    case 90:
        b.distanceMode = DistanceMode::Absolute;
        break;
    case 91:
        b.distanceMode = DistanceMode::Incremental;
        break;
    case 284:
        message = kMsgCannedCycle;
        break;
    default:
        break;
    }
}

void ApplyGWord(std::string_view word, BlockRecord &b, std::string_view &message)
{
    const std::string_view number = word.substr(1);
    if (IsCannedCycle(number))
        message = kMsgCannedCycle;
    if (const std::optional<int> code = WholeTextGNumber(number))
        ApplyGCode(*code, b, message);
}

} // namespace

ParseVerdict ParseBlock(std::string_view line, bool wholeProgram, BlockRecord &b,
                        std::string &programHeader)
{
    b.arcRadius = 0.0;
    b.arcI = 0.0;
    b.arcJ = 0.0;
    b.machineReference = false;
    std::string_view message;

    const std::size_t paren = line.find('(');
    if (paren == 0)
        return {};
    if (paren != std::string_view::npos)
        line = line.substr(0, paren);

    // Every byte that is not a number character begins a word; number characters extend it.
    std::array<std::size_t, kMaxWords + 1> starts{};
    int count = 0;
    std::size_t walkEnd = line.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (IsNumberChar(line[i]))
            continue;
        if (count == kMaxWords) {
            walkEnd = i;
            break;
        }
        starts[static_cast<std::size_t>(count++)] = i;
    }
    starts[static_cast<std::size_t>(count)] = walkEnd;
    auto word = [&](int k) {
        const std::size_t from = starts[static_cast<std::size_t>(k)];
        return line.substr(from, starts[static_cast<std::size_t>(k) + 1] - from);
    };

    for (int k = 0; k < count; ++k) {
        std::string_view w = word(k);
        if (w[0] == 'G')
            ApplyGWord(w, b, message);
    }

    bool incrementalXY = false;
    bool axisRead = false;
    for (int k = 0; k < count; ++k) {
        std::string_view w = word(k);
        std::string_view number = w.substr(1);
        // On a move to the machine's reference the axis words are not work positions.
        if ((w[0] == 'X' || w[0] == 'Y' || w[0] == 'Z') && b.machineReference)
            continue;
        switch (w[0]) {
        case 'O':
            programHeader.assign(w);
            break;
        case 'X':
            incrementalXY |= ApplyAxis(number, b.distanceMode, b.startX, b.endX) != 0;
            axisRead = true;
            break;
        case 'Y':
            incrementalXY |= ApplyAxis(number, b.distanceMode, b.startY, b.endY) != 0;
            axisRead = true;
            break;
        case 'Z':
            ApplyAxis(number, b.distanceMode, b.startZ, b.endZ);
            axisRead = true;
            break;
        case 'R':
            b.arcRadius = static_cast<double>(ConvertReal(number));
            break;
        case 'I': {
            // Offsets in the text run from the start point to the centre; stored from the end
            // point known at this word. The word's value is rounded to a double first.
            const auto value = static_cast<double>(ConvertReal(number));
            b.arcI = OffsetFromEnd(b.startX, b.endX, value);
            if (!Contains(line, 'J'))
                b.arcJ = OffsetFromEnd(b.startY, b.endY, 0.0);
            break;
        }
        case 'J': {
            const auto value = static_cast<double>(ConvertReal(number));
            b.arcJ = OffsetFromEnd(b.startY, b.endY, value);
            if (!Contains(line, 'I'))
                b.arcI = OffsetFromEnd(b.startX, b.endX, 0.0);
            break;
        }
        case 'F':
            b.feed = static_cast<double>(ConvertReal(number));
            break;
        case 'S':
            b.spindle = ConvertInteger(number);
            break;
        case 'T':
            b.tool = ConvertInteger(number);
            break;
        case 'N':
            b.seqNo = ConvertInteger(number);
            break;
        case 'H':
            b.lengthOffset = ConvertInteger(number);
            break;
        case 'D':
            b.radiusOffset = ConvertInteger(number);
            break;
        default:
            break;
        }
    }
    if (axisRead)
        b.positionOffset = b.workOffset; // the numbers just read belong to this offset
    if (incrementalXY && !wholeProgram)
        message = kMsgIncremental;

    if (message.empty())
        return {};
    return {false, message};
}

} // namespace korvane
