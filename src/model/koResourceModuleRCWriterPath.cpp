#include "koResourceModuleRCWriterPath.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSaveFile>

namespace {
const char* const SDirectoryNotFoundCaption = "Directory not found";
const char* const SCreateDirectoryPrompt = "The directory \"%s\" does not exist.\rDo you wish to create it for the file \"%s\"?";
const char* const SCannotCreateDirectory = "Cannot create the directory \"%s\" for the file \"%s\"";
const char* const SCannotCreateFile = "Cannot create file \"%s\". %s";

TDirectoryPromptHook& DirectoryPrompt()
{
    static TDirectoryPromptHook hook;
    return hook;
}

// Scripts written on Windows separate folders with backslashes.
QString FileSystemPath(const QString& Path)
{
    QString result = Path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}
} // namespace

bool PathIsRelative(const QString& Path)
{
    if (Path.isEmpty()) return true;
    if (Path.at(0) == QLatin1Char('/') || Path.at(0) == QLatin1Char('\\')) return false;
    return !(Path.size() >= 2 && Path.at(1) == QLatin1Char(':') && Path.at(0).isLetter());
}

QString PathAppend(const QString& Path, const QString& More)
{
    const QString more = FileSystemPath(More);
    if (Path.isEmpty()) return more;
    QString result = FileSystemPath(Path);
    if (!result.endsWith(QLatin1Char('/'))) result += QLatin1Char('/');
    qsizetype start = 0;
    while (start < more.size() && more.at(start) == QLatin1Char('/')) ++start;
    return result + more.mid(start);
}

bool FindOnPath(QString& FileName)
{
    if (FileName.isEmpty() || !PathIsRelative(FileName)) return false;
    const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH"));
    for (const QString& folder : path.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const QFileInfo candidate(QDir(folder), FileSystemPath(FileName));
        if (candidate.isFile()) {
            FileName = candidate.absoluteFilePath();
            return true;
        }
    }
    return false;
}

TDirectoryPromptHook SetDirectoryPromptHook(TDirectoryPromptHook Hook)
{
    TDirectoryPromptHook previous = std::move(DirectoryPrompt());
    DirectoryPrompt() = std::move(Hook);
    return previous;
}

bool EnsureFileDirectory(const QString& FileName, const QString& DisplayName)
{
    const QString folder = QFileInfo(FileSystemPath(FileName)).absolutePath();
    if (QFileInfo(folder).isDir()) return true;
    const QString shown = PathIsRelative(DisplayName) ? DisplayName : ExtractFileName(FileSystemPath(DisplayName));
    if (const TDirectoryPromptHook& prompt = DirectoryPrompt()) {
        if (!prompt(QString::fromLatin1(SDirectoryNotFoundCaption),
                    Format(QString::fromLatin1(SCreateDirectoryPrompt), {QDir::toNativeSeparators(folder), shown})))
            return false;
    }
    // Parents too: a single missing level is the rare case.
    if (!QDir().mkpath(folder))
        throw EOSError(Format(QString::fromLatin1(SCannotCreateDirectory), {QDir::toNativeSeparators(folder), shown}));
    return true;
}

void ReplaceFileContents(const QString& FileName, const QByteArray& Data)
{
    QSaveFile file(FileSystemPath(FileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(Data) != Data.size() || !file.commit())
        throw EFCreateError(Format(QString::fromLatin1(SCannotCreateFile), {FileName, file.errorString()}));
}
