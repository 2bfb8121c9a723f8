#pragma once

#include <string>

#include "model/errors.h"

namespace korvane {

/// A file that could not be read or written, with the user-facing text.
class FileError : public KorvaneError {
public:
    using KorvaneError::KorvaneError;

    /// "ファイル "%s". %s は開けません": the file to read cannot be opened.
    static FileError CannotOpen(const std::string &path, const std::string &reason);
    /// "ファイル "%s". %s を作成できません": the file to write cannot be created.
    static FileError CannotCreate(const std::string &path, const std::string &reason);
    /// "ストリームへの書き込みエラー": writing stopped short.
    static FileError WriteFailed();
    /// "%s に書き込めません": the settings file cannot be written.
    static FileError CannotWrite(const std::string &path);
    /// "文字列の大きさがメモの制限を越えました": the text is larger than the text box takes.
    static FileError TooLarge();
};

} // namespace korvane
