// The settings file (the registry store's JSON): read it, write it back, and read that again; both
// readings must hold the same keys and values.
#include "FuzzCommon.h"

#include "platform/RegistryStore.h"

#include <QFile>

namespace {
// Every key and value below path, as text, in a fixed order.
void Walk(const TRegistryStore& store, const QString& path, QStringList& out)
{
    for (const QString& name : store.GetValueNames(path)) {
        QString text = path + QLatin1Char('|') + name + QLatin1Char('|') + QString::number(store.GetDataType(path, name)) +
                       QLatin1Char('|') + QString::number(store.GetDataSize(path, name)) + QLatin1Char('|');
        switch (store.GetDataType(path, name)) {
        case rdString:
        case rdExpandString: text += store.ReadString(path, name); break;
        case rdInteger: text += QString::number(store.ReadInteger(path, name)); break;
        case rdBinary: text += QString::fromLatin1(store.ReadBinaryData(path, name).toHex()); break;
        case rdMultiString: text += store.ReadMultiString(path, name).join(QChar(0x2400)); break;
        case rdUnknown: FuzzFinding(QStringLiteral("a listed value without a type: ") + text);
        }
        out.append(text);
    }
    for (const QString& key : store.GetKeyNames(path)) {
        if (!store.KeyExists(path + QLatin1Char('\\') + key)) FuzzFinding(QStringLiteral("a listed key that does not exist: ") + key);
        out.append(path + QLatin1Char('\\') + key);
        Walk(store, path + QLatin1Char('\\') + key, out);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        SetRegistryWarningHook([](const QString&) {});
        return true;
    }();
    (void)quiet;
    const QString fileName = FuzzScratchFolder() + QStringLiteral("/registry.json");
    FuzzWriteFile(fileName, data, size);
    FuzzRun([&] {
        QStringList first, second;
        {
            TRegistryStore store(fileName);
            Walk(store, QString(), first);
            store.Flush();
        }
        const TRegistryStore again(fileName);
        Walk(again, QString(), second);
        if (first != second) FuzzFinding(QStringLiteral("the settings written back read differently"));
    });
    return 0;
}
