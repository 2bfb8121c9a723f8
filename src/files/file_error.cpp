#include "files/file_error.h"

namespace korvane {

FileError FileError::CannotOpen(const std::string &path, const std::string &reason)
{
    return FileError("ファイル \"" + path + "\". " + reason + " は開けません");
}

FileError FileError::CannotCreate(const std::string &path, const std::string &reason)
{
    return FileError("ファイル \"" + path + "\". " + reason + " を作成できません");
}

FileError FileError::WriteFailed()
{
    return FileError("ストリームへの書き込みエラー");
}

FileError FileError::CannotWrite(const std::string &path)
{
    return FileError(path + " に書き込めません");
}

FileError FileError::TooLarge()
{
    return FileError("文字列の大きさがメモの制限を越えました");
}

} // namespace korvane
