#include "model/errors.h"

namespace korvane {

EngineError EngineError::NotAFloat(std::string_view text)
{
    return EngineError("'" + std::string(text) + "' は浮動小数点数ではありません");
}

EngineError EngineError::NotAnInteger(std::string_view text)
{
    return EngineError("'" + std::string(text) + "' は整数ではありません");
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
