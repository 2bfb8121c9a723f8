#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "files/text_codec.h"

namespace korvane {

/// No limit on the bytes read.
inline constexpr std::size_t kNoByteLimit = static_cast<std::size_t>(-1);

/// Reads every byte of a file. Throws FileError::CannotOpen, naming the absolute path and the
/// system's reason, and FileError::TooLarge when the file holds more than `maxBytes`.
std::string ReadFileBytes(const QString &path, std::size_t maxBytes = kNoByteLimit);

/// Writes `bytes` to `path` without ever destroying the file that was there: the bytes go to
/// a new file beside it, which then replaces it. Throws FileError::CannotCreate when the file
/// cannot be created, FileError::WriteFailed when writing stops short (a full disk); the
/// former file is then left as it was.
void WriteFileAtomic(const QString &path, std::string_view bytes);

/// A file written in pieces that replaces its target only when Commit succeeds; until then
/// (and when anything fails) the former file stays as it was.
class AtomicFileWriter {
public:
    /// Starts the new file. Throws FileError::CannotCreate.
    explicit AtomicFileWriter(const QString &path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    /// Throws FileError::WriteFailed.
    void Write(std::string_view bytes);
    /// Puts the new file in place of the old one. Throws FileError::WriteFailed.
    void Commit();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// Reads a text file (see ReadFileBytes) and decodes it (see DecodeText).
DecodedText ReadTextFile(const QString &path, std::size_t maxBytes = kNoByteLimit);

/// Encodes UTF-8 text in `encoding` (falling back to UTF-8, see EncodeText) and writes it
/// atomically; `encoding` then holds the encoding written.
void WriteTextFile(const QString &path, std::string_view utf8, TextEncoding &encoding);

} // namespace korvane
