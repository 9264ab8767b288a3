// The files dropped on a window: the local files of a drop, in the order they were handed over.
#pragma once

#include <QPoint>
#include <QStringList>

class QDropEvent;
class QMimeData;

class TDropFiles {
public:
    // DropPoint in the client coordinates of the window dropped on.
    explicit TDropFiles(const QMimeData* Data, const QPoint& DropPoint = QPoint());
    explicit TDropFiles(const QDropEvent& Event);

    int Count() const { return int(FFileNames.size()); }
    // Empty for an index outside 0 to Count - 1.
    QString GetFileName(int Index) const;
    const QPoint& DropPoint() const { return FDropPoint; }

private:
    QStringList FFileNames;
    QPoint FDropPoint;
};
