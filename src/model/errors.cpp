#include "model/errors.h"

namespace korvane {
namespace {

// A number text of a hostile file can be megabytes long: the message shows its start.
constexpr std::size_t kShownText = 64;

std::string Quoted(std::string_view text, std::string_view after)
{
    std::string message;
    message.reserve(kShownText + after.size() + 8);
    message.append("'").append(text.substr(0, kShownText));
    if (text.size() > kShownText)
        message.append("...");
    message.append("'").append(after);
    return message;
}

} // namespace

EngineError EngineError::NotAFloat(std::string_view text)
{
    return EngineError(Quoted(text, " は浮動小数点数ではありません"));
}

EngineError EngineError::NotAnInteger(std::string_view text)
{
    return EngineError(Quoted(text, " は整数ではありません"));
}

EngineError EngineError::InvalidFloatOperation()
{
    return EngineError("不正な浮動小数点数演算命令");
}

EngineError EngineError::ListIndex(long long index)
{
    return EngineError("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

} // namespace korvane
