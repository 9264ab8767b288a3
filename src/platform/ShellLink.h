// Windows shell links (.lnk files): the target path a link records. Links are read as data; nothing is
// resolved against this machine's files, and Windows paths come back as the link holds them.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

struct TShellLinkData {
    uint32_t LinkFlags = 0;
    QString LocalPath;   // the local base path with the common path suffix
    QString NetworkPath; // the share name with the common path suffix
    QString Name;
    QString RelativePath;
    QString WorkingDir;
    QString Arguments;
    QString IconLocation;
};

// Parses the bytes of a link file. False when they are not a shell link or any structure runs past
// the data or its enclosing structure.
bool ReadShellLink(const QByteArray& Data, TShellLinkData& Link);

// The target of the link file FileName: its network path (UNC paths have priority), else its local
// path, else its relative path taken from the link's own folder. False for anything that is not a
// readable link with one of these.
bool ResolveShellLink(const QString& FileName, QString& Target);
