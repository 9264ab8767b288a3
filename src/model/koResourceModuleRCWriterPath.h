// Path helpers of the RC writers: file names as scripts store them (which may use backslashes) made
// usable on this file system, and the folder check that may ask whether to create a missing folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// A path with a root ("/x", "\x", "C:\x") is absolute; anything else is relative.
bool PathIsRelative(const QString& Path);
// More appended to Path with one separator between them; More as stored, backslashes become "/".
QString PathAppend(const QString& Path, const QString& More);
// Looks for a bare file name in the folders of PATH; when found, FileName becomes the full path.
bool FindOnPath(QString& FileName);

// Asks whether to create a missing folder: the title and the question to show; true creates it.
using TDirectoryPromptHook = std::function<bool(const QString& Caption, const QString& Message)>;
// Installs the prompt (the GUI answers with a message box); returns the previous one.
TDirectoryPromptHook SetDirectoryPromptHook(TDirectoryPromptHook Hook);

// True when the folder of FileName exists or was created. Without a prompt hook the folder is created
// without asking; a refusal of the hook gives false. A folder that cannot be created raises EOSError.
// DisplayName names the file in the question (shown whole when relative, else its file name part).
bool EnsureFileDirectory(const QString& FileName, const QString& DisplayName);

// Replaces the file with Data through a temporary file, so a failed write leaves the old file as it
// was. Raises EFCreateError naming the file and the reason.
void ReplaceFileContents(const QString& FileName, const QByteArray& Data);
