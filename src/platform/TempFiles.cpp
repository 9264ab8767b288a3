#include "TempFiles.h"

#include "Exceptions.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString TempFolder()
{
    // Qt answers an empty path for a TMPDIR that does not exist (which would put the files in the
    // root folder); keep the folder the user named, so that creating a file there fails and says so.
    QString folder = QDir::tempPath();
    if (folder.isEmpty()) folder = QDir::cleanPath(qEnvironmentVariable("TMPDIR"));
    if (folder.isEmpty()) folder = QStringLiteral("/tmp");
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

TTempFile::TTempFile(const QString& fileName, int handle) : FFileName(fileName), FHandle(handle) {}

TTempFile::~TTempFile()
{
    if (FHandle >= 0) ::close(FHandle);
}

std::unique_ptr<TTempFile> TTempFile::CreateNew(const QString& fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    int handle;
    do
        handle = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        if (errno == EEXIST) return nullptr;
        RaiseLastOSError();
    }
    if (::unlink(path.constData()) != 0) {
        const int error = errno;
        ::close(handle);
        RaiseLastOSError(error);
    }
    return std::unique_ptr<TTempFile>(new TTempFile(fileName, handle));
}

int64_t TTempFile::ReadAt(int64_t offset, void* buffer, int64_t count)
{
    auto* bytes = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(FHandle, bytes + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseLastOSError();
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

void TTempFile::WriteAt(int64_t offset, const void* buffer, int64_t count)
{
    const auto* bytes = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(FHandle, bytes + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)
                throw EWriteError(QStringLiteral("Stream write error"));
            RaiseLastOSError();
        }
        if (n == 0) throw EWriteError(QStringLiteral("Stream write error"));
        done += n;
    }
}

int64_t TTempFile::Size()
{
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) RaiseLastOSError();
    return info.st_size;
}
