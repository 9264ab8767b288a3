#pragma once

// Points TMPDIR at a folder that does not exist for the life of the object, then puts it back.

#include <QFile>
#include <QTemporaryDir>

class TMissingTempFolder {
public:
    TMissingTempFolder()
        : FWasSet(qEnvironmentVariableIsSet("TMPDIR")), FSaved(qgetenv("TMPDIR")),
          FPath(FParent.filePath(QStringLiteral("gone")))
    {
        qputenv("TMPDIR", QFile::encodeName(FPath));
    }
    ~TMissingTempFolder()
    {
        if (FWasSet)
            qputenv("TMPDIR", FSaved);
        else
            qunsetenv("TMPDIR");
    }
    TMissingTempFolder(const TMissingTempFolder&) = delete;
    TMissingTempFolder& operator=(const TMissingTempFolder&) = delete;

    const QString& Path() const { return FPath; }

private:
    QTemporaryDir FParent;
    bool FWasSet;
    QByteArray FSaved;
    QString FPath;
};
