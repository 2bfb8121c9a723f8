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
constexpr std::size_t kMaxWords = 29;

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
        if ((n[0] == '1' && (n[1] == '8' || n[1] == '9')) || (n[0] == '2' && n[1] == '8') ||
            (n[0] == '3' && n[1] == '0') ||
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
    if (code <= 3) {
        b.motion = static_cast<Motion>(code); // the enumerators are the codes' digits
        return;
    }
    if (code >= 54 && code <= 59) {
        b.workOffset = static_cast<std::uint8_t>(code);
        return;
    }
    switch (code) {
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

// The words of one line. Every byte that is not a number character begins a word; number
// characters extend it, and those before the first word are dropped.
class LineWords {
public:
    explicit LineWords(std::string_view line) : m_line(line)
    {
        std::size_t end = line.size();
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (IsNumberChar(line[i]))
                continue;
            if (m_count == kMaxWords) {
                end = i;
                break;
            }
            m_starts[m_count++] = i;
        }
        m_starts[m_count] = end;
    }

    std::size_t size() const { return m_count; }
    std::string_view operator[](std::size_t k) const
    {
        return m_line.substr(m_starts[k], m_starts[k + 1] - m_starts[k]);
    }

private:
    std::string_view m_line;
    std::array<std::size_t, kMaxWords + 1> m_starts{}; // and where the last word ends
    std::size_t m_count = 0;
};

// What the address pass met besides the values it stored.
struct AddressPass {
    bool incrementalXY = false; // an incremental X or Y word that moves
    bool axisRead = false;
};

void ApplyAxisWord(char letter, std::string_view number, BlockRecord &b, AddressPass &pass)
{
    pass.axisRead = true;
    switch (letter) {
    case 'X':
        pass.incrementalXY |= ApplyAxis(number, b.distanceMode, b.startX, b.endX) != 0;
        break;
    case 'Y':
        pass.incrementalXY |= ApplyAxis(number, b.distanceMode, b.startY, b.endY) != 0;
        break;
    default:
        ApplyAxis(number, b.distanceMode, b.startZ, b.endZ);
        break;
    }
}

// An I or J word. Offsets in the text run from the start point to the centre; they are stored
// from the end point known at this word. The word's value is rounded to a double first. An arc
// given by one of them alone has 0 for the other, moved the same way.
void ApplyCentreWord(char letter, std::string_view number, std::string_view code, BlockRecord &b)
{
    const auto value = static_cast<double>(ConvertReal(number));
    if (letter == 'I') {
        b.arcI = OffsetFromEnd(b.startX, b.endX, value);
        if (!Contains(code, 'J'))
            b.arcJ = OffsetFromEnd(b.startY, b.endY, 0.0);
    } else {
        b.arcJ = OffsetFromEnd(b.startY, b.endY, value);
        if (!Contains(code, 'I'))
            b.arcI = OffsetFromEnd(b.startX, b.endX, 0.0);
    }
}

// The field an integer word sets, or nullptr for a letter that sets none.
std::int32_t *IntegerField(char letter, BlockRecord &b)
{
    switch (letter) {
    case 'S':
        return &b.spindle;
    case 'T':
        return &b.tool;
    case 'N':
        return &b.seqNo;
    case 'H':
        return &b.lengthOffset;
    case 'D':
        return &b.radiusOffset;
    default:
        return nullptr;
    }
}

void ApplyAddressWord(std::string_view word, std::string_view code, BlockRecord &b,
                      std::string &programHeader, AddressPass &pass)
{
    const char letter = word[0];
    const std::string_view number = word.substr(1);
    switch (letter) {
    case 'O':
        programHeader.assign(word);
        break;
    case 'X':
    case 'Y':
    case 'Z':
        // On a move to the machine's reference the axis words are not work positions.
        if (!b.machineReference)
            ApplyAxisWord(letter, number, b, pass);
        break;
    case 'R':
        b.arcRadius = static_cast<double>(ConvertReal(number));
        break;
    case 'I':
    case 'J':
        ApplyCentreWord(letter, number, code, b);
        break;
    case 'F':
        b.feed = static_cast<double>(ConvertReal(number));
        break;
    default:
        if (std::int32_t *field = IntegerField(letter, b))
            *field = ConvertInteger(number);
        break;
    }
}

// Resets the fields that belong to one line only.
void StartLine(BlockRecord &b)
{
    b.arcRadius = 0.0;
    b.arcI = 0.0;
    b.arcJ = 0.0;
    b.machineReference = false;
}

} // namespace

ParseVerdict ParseBlock(std::string_view line, bool wholeProgram, BlockRecord &b,
                        std::string &programHeader)
{
    StartLine(b);
    const std::size_t paren = line.find('(');
    if (paren == 0)
        return {};
    const std::string_view code = line.substr(0, paren);
    const LineWords words(code);

    // G words act on the whole line, whatever their place: all of them come first.
    std::string_view message;
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (words[k][0] == 'G')
            ApplyGWord(words[k], b, message);
    }
    AddressPass pass;
    for (std::size_t k = 0; k < words.size(); ++k)
        ApplyAddressWord(words[k], code, b, programHeader, pass);

    if (pass.axisRead)
        b.positionOffset = b.workOffset; // the numbers just read belong to this offset
    if (pass.incrementalXY && !wholeProgram)
        message = kMsgIncremental;
    if (message.empty())
        return {};
    return {false, message};
}

} // namespace korvane
