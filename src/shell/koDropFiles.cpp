#include "koDropFiles.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

TDropFiles::TDropFiles(const QMimeData* Data, const QPoint& DropPoint) : FDropPoint(DropPoint)
{
    // Only files: other addresses a drag may carry are not files to open.
    if (Data)
        for (const QUrl& url : Data->urls())
            if (url.isLocalFile()) FFileNames.append(url.toLocalFile());
}

TDropFiles::TDropFiles(const QDropEvent& Event) : TDropFiles(Event.mimeData(), Event.position().toPoint()) {}

QString TDropFiles::GetFileName(int Index) const
{
    return Index >= 0 && Index < Count() ? FFileNames.at(Index) : QString();
}
