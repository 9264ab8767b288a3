// wine's own modules as a corpus of real resources (package wine64). Tests that use it have "Interop" in
// their names and skip when the folder is absent.
#pragma once

#include "platform/Exceptions.h"
#include "platform/PEImage.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <initializer_list>

inline QString WineModulesFolder() { return QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"); }

inline bool HasWineModules() { return QDir(WineModulesFolder()).exists(); }

struct TWineResource {
    QString Module; // file name
    TPEResource Resource;
};

// The resources of the given ordinal types in every PE file of the folder, in file-name order. Modules
// the PE reader refuses are left out: judging them is the PE tests' business.
inline QList<TWineResource> WineResources(std::initializer_list<uint16_t> Types)
{
    QList<TWineResource> result;
    const QDir folder(WineModulesFolder());
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        if (!TPEImage::IsPEImage(bytes)) continue;
        QList<TPEResource> resources;
        try {
            resources = TPEImage(bytes).Resources();
        } catch (const Exception&) {
            continue;
        }
        for (TPEResource& r : resources) {
            if (r.Type.size() != 2 || r.Type[0] != QChar(0xFFFF)) continue;
            const uint16_t type = r.Type[1].unicode();
            if (std::find(Types.begin(), Types.end(), type) != Types.end()) result.append({name, std::move(r)});
        }
    }
    return result;
}
