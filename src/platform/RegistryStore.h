// The registry of the platform, as our own typed key store: a tree of keys holding subkeys and typed
// values. Key and value names compare case-insensitively and keep the case they were created with;
// the empty value name (a key's default value) is allowed; a key exists while empty. One store per user
// lives in one JSON file, rewritten whole and atomically after each change (or once per batch).
#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

ATELIER_EXCEPTION_CLASS(ERegistryException, Exception)

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary, rdMultiString };

struct TRegKey;

// Key paths are separated by "\"; a leading separator and doubled separators are ignored, so every
// path counts from the store's root.
class TRegistryStore {
public:
    // An empty store that is not tied to a file (FileName empty: changes are never written).
    TRegistryStore();
    // Reads the file; a missing file is an empty store, a corrupt or unreadable one is reported through
    // the warning hook and replaced by an empty store.
    explicit TRegistryStore(const QString& fileName);
    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    // The current user's store, freshly read from RegistryFileName(), so changes made by another process
    // are seen on every open.
    static std::shared_ptr<TRegistryStore> OpenCurrentUser();

    const QString& FileName() const { return FFileName; }
    // Drops unsaved state and reads the file again.
    void Reload();
    // Writes the file now (QSaveFile); raises ERegistryException when it cannot be written.
    void Flush();
    // Within a batch changes are kept in memory; the outermost EndUpdate writes them once.
    void BeginUpdate();
    void EndUpdate();

    bool KeyExists(const QString& path) const;
    // Creates the key and any missing parents; true when it had to be created.
    bool CreateKey(const QString& path);
    // Deletes the key with everything below it; false when it did not exist. The root cannot be deleted,
    // only emptied.
    bool DeleteKey(const QString& path);
    // Names as stored, in case-insensitive order; nothing for a missing key.
    QStringList GetKeyNames(const QString& path) const;
    // Names as stored, in the order they were first written; nothing for a missing key.
    QStringList GetValueNames(const QString& path) const;

    bool ValueExists(const QString& path, const QString& name) const;
    // rdUnknown for a missing key or value.
    TRegDataType GetDataType(const QString& path, const QString& name) const;
    // The data size as the platform counts it (UTF-16 with terminators for strings); -1 when missing.
    int GetDataSize(const QString& path, const QString& name) const;
    bool DeleteValue(const QString& path, const QString& name);

    // Readers raise ERegistryException when the key or value is missing or holds another type.
    // ReadString accepts both string types.
    QString ReadString(const QString& path, const QString& name) const;
    int32_t ReadInteger(const QString& path, const QString& name) const;
    QByteArray ReadBinaryData(const QString& path, const QString& name) const;
    QStringList ReadMultiString(const QString& path, const QString& name) const;

    // Writers create the key when it is missing and replace a value of any type.
    void WriteString(const QString& path, const QString& name, const QString& value);
    void WriteExpandString(const QString& path, const QString& name, const QString& value);
    void WriteInteger(const QString& path, const QString& name, int32_t value);
    void WriteBinaryData(const QString& path, const QString& name, const QByteArray& value);
    void WriteMultiString(const QString& path, const QString& name, const QStringList& value);

private:
    TRegKey* FindKey(const QString& path) const;
    TRegKey* ForceKey(const QString& path, bool* created = nullptr);
    void Changed();
    void Load();

    QString FFileName;
    std::unique_ptr<TRegKey> FRoot;
    int FUpdateCount = 0;
    bool FDirty = false;
};

// The file of the current user's store: the override set by SetRegistryFileName when there is one,
// else the environment variable ATELIER_REGISTRY_FILE, else "registry.json" in the application's
// configuration folder.
QString RegistryFileName();
// Overrides the file (tests); an empty name removes the override. Returns the previous override.
QString SetRegistryFileName(const QString& fileName);

// Receives the store's warnings (a damaged file); without a hook they go to qWarning. Returns the
// previous hook.
using TRegistryWarningHook = std::function<void(const QString& message)>;
TRegistryWarningHook SetRegistryWarningHook(TRegistryWarningHook hook);
