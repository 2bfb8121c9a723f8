#include "toolpath/check_messages.h"

#include <cmath>
#include <string_view>

#include "model/UnitCall.h"

namespace korvane::messages {
namespace {

// Result lines are counted from 1, as an editor shows them.
std::string ResultLine(std::uint32_t line)
{
    return "書き換えたプログラムの " + std::to_string(std::uint64_t{line} + 1) + " 行目";
}

std::string Number(double v)
{
    if (v == kHome)
        return "（機械原点）";
    return IsWorkPosition(v) ? FormatCoord(v) : std::string("?");
}

std::string PointText(const Point &p, const Point &other)
{
    std::string text;
    auto word = [&](char letter, double v, double w) {
        if (!IsKnown(v) && !IsKnown(w))
            return;
        if (!text.empty())
            text.push_back(' ');
        text.push_back(letter);
        text += Number(v);
    };
    word('X', p.x, other.x);
    word('Y', p.y, other.y);
    word('Z', p.z, other.z);
    return text;
}

std::string SpindleText(const CutConditions &c)
{
    std::string text;
    switch (c.spindle) {
    case korvane::Spindle::Unknown:
        return "指令なし";
    case korvane::Spindle::Stopped:
        return "停止";
    case korvane::Spindle::Clockwise:
        text = "M03";
        break;
    case korvane::Spindle::CounterClockwise:
        text = "M04";
        break;
    }
    if (IsKnown(c.spindleSpeed))
        text += " S" + FormatCoord(c.spindleSpeed);
    if (text.size() > 2 && text.compare(text.size() - 1, 1, ".") == 0)
        text.pop_back(); // speeds are whole numbers: "S1000", not "S1000."
    return text;
}

std::string ToolText(std::int32_t tool)
{
    return tool < 0 ? std::string("指令なし") : "T" + std::to_string(tool);
}

std::string LengthText(const CutConditions &c)
{
    std::string text;
    switch (c.lengthComp) {
    case LengthCompState::Unknown:
        return "指令なし";
    case LengthCompState::Off:
        return "G49（なし）";
    case LengthCompState::Positive:
        text = "G43";
        break;
    case LengthCompState::Negative:
        text = "G44";
        break;
    }
    if (c.lengthOffset >= 0)
        text += " H" + std::to_string(c.lengthOffset);
    return text;
}

std::string FeedText(double feed)
{
    if (!IsKnown(feed))
        return "指令なし";
    std::string text = FormatCoord(feed);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return "F" + text;
}

std::string SideText(RadiusComp side, std::int32_t radiusOffset)
{
    switch (side) {
    case RadiusComp::Left:
        return radiusOffset >= 0 ? "G41 D" + std::to_string(radiusOffset) : "G41";
    case RadiusComp::Right:
        return radiusOffset >= 0 ? "G42 D" + std::to_string(radiusOffset) : "G42";
    default:
        return "G40（なし）";
    }
}

// How a sentence names a condition, before and after its value.
struct ConditionWording {
    std::string_view lead;
    std::string_view tail;
};

ConditionWording WordingOf(Condition condition)
{
    switch (condition) {
    case Condition::Spindle:
        return {"では、主軸が ", " です"};
    case Condition::Tool:
        return {"は、工具 ", " で行われます"};
    case Condition::LengthOffset:
        return {"では、工具長補正が ", " です"};
    case Condition::WorkOffset:
        return {"は、ワーク座標系 ", " で行われます"};
    case Condition::Feed:
        return {"は、送り ", " です"};
    }
    return {};
}

std::string ConditionText(Condition condition, const CutConditions &c)
{
    switch (condition) {
    case Condition::Spindle:
        return SpindleText(c);
    case Condition::Tool:
        return ToolText(c.tool);
    case Condition::LengthOffset:
        return LengthText(c);
    case Condition::WorkOffset:
        return WorkOffsetName(c.workOffset);
    case Condition::Feed:
        return FeedText(c.feed);
    }
    return {};
}

std::string SegmentAdvice(bool wholeProgram)
{
    if (wholeProgram)
        return std::string();
    return "傾斜（ランプ）や3Dの切削を含むパス、パスの間を送りで動くプログラムは、"
           "「後方から全て逆転」で書き換えてください。";
}

} // namespace

std::string CutText(const Move &move)
{
    std::string text;
    if (move.kind == Motion::Clockwise)
        text = "G02 ";
    else if (move.kind == Motion::CounterClockwise)
        text = "G03 ";
    text += PointText(move.start, move.end) + " → " + PointText(move.end, move.start);
    if (IsArc(move.kind)) {
        const char *letters = move.plane == Plane::XY   ? "XY"
                              : move.plane == Plane::ZX ? "ZX"
                                                        : "YZ";
        text += "（中心 ";
        text.push_back(letters[0]);
        text += Number(move.centreA) + " ";
        text.push_back(letters[1]);
        text += Number(move.centreB) + "）";
    }
    return text;
}

std::string LostCut(const Move &cut, bool wholeProgram)
{
    return "この行の切削 " + CutText(cut) + " が、書き換えたプログラムにありません。" +
           SegmentAdvice(wholeProgram);
}

std::string ExtraCut(std::uint32_t resultLine, const Move &cut, bool wholeProgram)
{
    return ResultLine(resultLine) + "に、元のプログラムにない切削 " + CutText(cut) +
           " があります。" + SegmentAdvice(wholeProgram);
}

std::string BadArc(std::uint32_t resultLine, double radiusDifference, bool wholeProgram)
{
    return ResultLine(resultLine) + "の円弧は、終点が円の上にありません（始点と終点の半径の差 " +
           Number(radiusDifference) + "）。" + SegmentAdvice(wholeProgram);
}

std::string UnknownStartInSource()
{
    return "この行の切削は、位置の分からない点から始まります（G91 の相対移動など）。"
           "確かめられないため書き換えません。最初の切削の前に、G90 で絶対位置を指令してください。";
}

std::string UnknownPositionInResult(std::uint32_t resultLine, bool knownInSource)
{
    std::string text =
        ResultLine(resultLine) + "の切削は、位置の分からない点から、または分からない点へ動きます。";
    if (knownInSource)
        return text +
               "元のプログラムでは位置が分かっています。書き換えで位置決めの移動が失われました。";
    return text + "元のプログラムで、最初の切削の前に G90 で絶対位置を指令してください。";
}

std::string UnknownHeightInResult(std::uint32_t resultLine)
{
    return ResultLine(resultLine) +
           "の切削は、高さ（Z）が分からないまま動きます。工具交換（M06）や原点復帰の後で Z "
           "が指令されず、元の切削の高さで削りません。";
}

std::string ConditionDiffers(std::uint32_t resultLine, Condition condition,
                             const CutConditions &expected, const CutConditions &actual)
{
    const ConditionWording wording = WordingOf(condition);
    std::string text = ResultLine(resultLine);
    text.append("の切削").append(wording.lead).append(ConditionText(condition, actual));
    text.append(wording.tail).append("（元の切削は ").append(ConditionText(condition, expected));
    return text.append("）。");
}

std::string Compensation(std::uint32_t resultLine, RadiusComp expected, RadiusComp actual,
                         std::int32_t expectedRadiusOffset, std::int32_t actualRadiusOffset)
{
    return ResultLine(resultLine) + "の切削では、工具径補正が " +
           SideText(actual, actualRadiusOffset) + " です（" +
           SideText(expected, expectedRadiusOffset) +
           " であるべきです。逆向きの切削では、補正の左右が入れ替わります）。";
}

std::string RapidPlunge(std::uint32_t resultLine, double z, double lowestSourceZ)
{
    return ResultLine(resultLine) + "の早送りは Z" + Number(z) +
           " まで下がります。元のプログラムの早送りは Z" + Number(lowestSourceZ) +
           " より下へは行きません。まだ削っていない材料に早送りで突っ込むおそれがあります。";
}

std::string RapidTraverseLow(std::uint32_t resultLine, double z, double lowestSourceZ)
{
    return ResultLine(resultLine) + "の早送りは Z" + Number(z) +
           " の高さで横に動きます。元のプログラムが早送りで横に動くのは Z" + Number(lowestSourceZ) +
           " 以上です。材料や治具にぶつかるおそれがあります。";
}

std::string Unsupported(korvane::Unsupported what)
{
    if (what == korvane::Unsupported::SubprogramCall)
        return "この行のサブプログラム呼び出し（M98・G65 など）の動きは確かめられないため、"
               "書き換えません。";
    return "この行のマクロ変数（#）や式の値は確かめられないため、書き換えません。";
}

} // namespace korvane::messages
