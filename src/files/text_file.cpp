#include "files/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "files/file_error.h"

namespace korvane {
namespace {

std::string AbsolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath().toStdString();
}

} // namespace

std::string ReadFileBytes(const QString &path, std::size_t maxBytes)
{
    if (path.isEmpty())
        throw FileError::CannotOpen(std::string(), "No file name specified");
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw FileError::CannotOpen(AbsolutePath(path), "Is a directory");
    if (!file.open(QIODevice::ReadOnly))
        throw FileError::CannotOpen(AbsolutePath(path), file.errorString().toStdString());
    std::string bytes;
    // Regular files tell their size; devices and pipes are read until they end.
    const qint64 size = file.size();
    if (size > 0 && static_cast<std::size_t>(size) > maxBytes)
        throw FileError::TooLarge();
    if (size > 0)
        bytes.reserve(static_cast<std::size_t>(size));
    char chunk[1 << 16];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            throw FileError::CannotOpen(AbsolutePath(path), file.errorString().toStdString());
        if (got == 0)
            break;
        if (static_cast<std::size_t>(got) > maxBytes - bytes.size())
            throw FileError::TooLarge(); // a file that grows, or a device without end
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

struct AtomicFileWriter::Impl {
    explicit Impl(const QString &path) : file(path) {}
    QSaveFile file;
};

AtomicFileWriter::AtomicFileWriter(const QString &path) : m_impl(std::make_unique<Impl>(path))
{
    // Unbuffered: every write reaches the file at once and reports a short count when the
    // disk is full. (Buffered, the flush inside commit() lets such a failure pass, and a
    // truncated file would replace the old one.)
    if (!m_impl->file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError::CannotCreate(AbsolutePath(path), m_impl->file.errorString().toStdString());
}

// An uncommitted QSaveFile removes its temporary file and leaves the target alone.
AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::Write(std::string_view bytes)
{
    const auto size = static_cast<qint64>(bytes.size());
    if (m_impl->file.write(bytes.data(), size) != size) {
        m_impl->file.cancelWriting();
        throw FileError::WriteFailed();
    }
}

void AtomicFileWriter::Commit()
{
    if (!m_impl->file.commit())
        throw FileError::WriteFailed();
}

void WriteFileAtomic(const QString &path, std::string_view bytes)
{
    AtomicFileWriter writer(path);
    writer.Write(bytes);
    writer.Commit();
}

DecodedText ReadTextFile(const QString &path, std::size_t maxBytes)
{
    return DecodeText(ReadFileBytes(path, maxBytes));
}

void WriteTextFile(const QString &path, std::string_view utf8, TextEncoding &encoding)
{
    TextEncoding chosen = encoding;
    const std::string bytes = EncodeText(utf8, chosen);
    WriteFileAtomic(path, bytes);
    encoding = chosen;
}

} // namespace korvane
