#include "files/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

#include "files/file_error.h"
#include "model/large_buffer.h"

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
        ReserveLarge(bytes, static_cast<std::size_t>(size));
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

// What the new file takes the place of. A link is followed, so that the link stays and the
// file it names is replaced. Something that is not a file (a device such as /dev/null, a pipe,
// a socket) is written to as it is: putting a new file in its place would replace the device
// itself, and there is no former contents to keep.
struct Target {
    QString path;
    bool direct = false;
};

Target TargetOf(const QString &path)
{
    const QFileInfo info(path);
    Target target{path, false};
    if (info.isSymLink()) {
        // The file at the end of the links, or, for a link to nothing yet, the name it gives.
        const QString resolved = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
        if (!resolved.isEmpty())
            target.path = resolved;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(target.path).constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISDIR(st.st_mode))
        target.direct = true;
    return target;
}

struct AtomicFileWriter::Impl {
    explicit Impl(const Target &t) : direct(t.direct), save(t.path), file(t.path) {}
    bool direct;
    QSaveFile save;
    QFile file;
    QFileDevice &device() { return direct ? static_cast<QFileDevice &>(file) : save; }
};

AtomicFileWriter::AtomicFileWriter(const QString &path)
    : m_impl(std::make_unique<Impl>(TargetOf(path)))
{
    // Unbuffered: every write reaches the file at once and reports a short count when the
    // disk is full. (Buffered, the flush inside commit() lets such a failure pass, and a
    // truncated file would replace the old one.)
    if (!m_impl->device().open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError::CannotCreate(AbsolutePath(path),
                                      m_impl->device().errorString().toStdString());
}

// An uncommitted QSaveFile removes its temporary file and leaves the target alone.
AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::Write(std::string_view bytes)
{
    const auto size = static_cast<qint64>(bytes.size());
    if (m_impl->device().write(bytes.data(), size) != size) {
        if (!m_impl->direct)
            m_impl->save.cancelWriting();
        throw FileError::WriteFailed();
    }
}

void AtomicFileWriter::Commit()
{
    if (m_impl->direct) {
        m_impl->file.close();
        if (m_impl->file.error() != QFileDevice::NoError)
            throw FileError::WriteFailed();
        return;
    }
    if (!m_impl->save.commit())
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
