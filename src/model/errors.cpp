#include "model/errors.h"

namespace korvane {
namespace {

std::string Quoted(std::string_view text, std::string_view after)
{
    std::string message;
    message.reserve(text.size() + after.size() + 2);
    message.append("'").append(text).append("'").append(after);
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
