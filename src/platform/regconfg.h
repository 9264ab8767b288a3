// Stores the published properties of objects under registry keys and reads them back: each property a
// value named after it, each object-valued property a subkey (a string list also its text, as a binary
// value of the parent key). Sections form a tree in which every section knows its key from the property
// of its owner that holds it.
#pragma once

#include "PublishedProperties.h"
#include "RegistryStore.h"
#include "Streams.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Ini-style access to the store: every call names a key path ("section") and a value name. A path that
// starts with "\" counts from the root, any other from the key opened at creation; the current key never
// changes. Writers create the key first.
class TFixedRegIniFile {
public:
    // Opens (creating) path as the current key.
    TFixedRegIniFile(std::shared_ptr<TRegistryStore> store, const QString& path);

    TRegistryStore& Store() const { return *FStore; }
    const QString& CurrentPath() const { return FCurrentPath; }
    QString KeyPath(const QString& section) const;

    // -1 when the key or value is missing.
    int GetDataSize(const QString& section, const QString& name) const;
    // Default when missing; anything but an 8-byte binary value raises ERegistryException.
    double ReadFloat(const QString& section, const QString& name, double defaultValue) const;
    TDateTime ReadDateTime(const QString& section, const QString& name) const;
    void WriteFloat(const QString& section, const QString& name, double value);
    void WriteDateTime(const QString& section, const QString& name, TDateTime value);
    void WriteBinaryData(const QString& section, const QString& name, const QByteArray& data);
    // Empty when missing; another type raises ERegistryException.
    QByteArray ReadBinaryData(const QString& section, const QString& name) const;
    QStringList ReadSectionNames(const QString& section) const;
    // Text as one multi-string value: a CR ends a line, an LF right after it is dropped, empty lines vanish.
    void WriteStrings(const QString& section, const QString& name, const QString& value);
    // A multi-string value's strings joined by CR; any other type read as ReadString does.
    QString ReadStrings(const QString& section, const QString& name, const QString& defaultValue) const;

    // Integers are decimal text in string values; missing or unparsable text gives the default.
    int64_t ReadInteger(const QString& section, const QString& name, int64_t defaultValue) const;
    void WriteInteger(const QString& section, const QString& name, int64_t value);
    // Default when missing; an integer value reads as its decimal text, other types raise.
    QString ReadString(const QString& section, const QString& name, const QString& defaultValue) const;
    void WriteString(const QString& section, const QString& name, const QString& value);
    void CreateKey(const QString& section);
    bool KeyExists(const QString& section) const;
    // Deletes the key with everything below it.
    void EraseSection(const QString& section);
    // Every value of the key as "name=value" lines.
    QStringList ReadSectionValues(const QString& section) const;

private:
    std::shared_ptr<TRegistryStore> FStore;
    QString FCurrentPath;
};

// An object that stores itself instead of having its published properties stored.
class IConfigurationSection {
public:
    virtual ~IConfigurationSection() = default;
    virtual void SaveToRegistry(TFixedRegIniFile& registry, const QString& section) = 0;
    virtual void LoadFromRegistry(TFixedRegIniFile& registry, const QString& section) = 0;
};

class TConfigurationSection;

// Owns its sections.
class TConfigurationSectionList {
public:
    TConfigurationSectionList() = default;
    ~TConfigurationSectionList();
    TConfigurationSectionList(const TConfigurationSectionList&) = delete;
    TConfigurationSectionList& operator=(const TConfigurationSectionList&) = delete;

    void Add(TConfigurationSection* section);
    void Remove(TConfigurationSection* section); // frees it
    TConfigurationSection* Extract(TConfigurationSection* section); // without freeing it
    void Clear();
    int Count() const { return static_cast<int>(FSections.size()); }
    TConfigurationSection* operator[](int index) const { return FSections.at(static_cast<size_t>(index)); }

private:
    std::vector<TConfigurationSection*> FSections;
};

class TConfigurationSection : public QObject {
    Q_OBJECT

public:
    // Joins the owner's list, which frees it with the owner.
    explicit TConfigurationSection(TConfigurationSection* owner = nullptr);
    ~TConfigurationSection() override;

    TConfigurationSection* Owner() const { return FOwner; }
    bool PurgeOnWrite() const { return FPurgeOnWrite; }
    void SetPurgeOnWrite(bool value) { FPurgeOnWrite = value; }
    TConfigurationSectionList& Sections() { return FSections; }
    QString Key() const { return GetKey(); }
    TFixedRegIniFile& Registry() const { return GetRegistry(); }

    // Erases key first when PurgeOnWrite; then writes this section's properties there.
    virtual void Save(const QString& key);
    virtual void Load(const QString& key);
    virtual void Write(const QString& key, QObject* instance);
    // A missing, mistyped or unparsable value keeps the property's current value (or its declared
    // default, for ordinals); the read goes on with the next property.
    virtual void Read(const QString& key, QObject* instance);
    // The owner's key, the name of the owner's property that holds this section, and "\".
    virtual QString GetKey() const;
    virtual void BeforeRead();
    virtual void SetDefaults();
    virtual void WriteStream(const QString& key, const QString& name, TMemoryStream& stream);
    virtual void ReadStream(const QString& key, const QString& name, TMemoryStream& stream);
    virtual TFixedRegIniFile& GetRegistry() const;
    void WriteStream(const QString& name, TMemoryStream& stream);
    void ReadStream(const QString& name, TMemoryStream& stream);

    // The section held by the published property name, nullptr when there is none.
    TConfigurationSection* SectionByName(const QString& name) const;

private:
    TConfigurationSection* FOwner = nullptr;
    bool FPurgeOnWrite = false;
    TConfigurationSectionList FSections;
};

// The root of a section tree; keeps the registry object and the key opened at creation.
class TConfiguration : public TConfigurationSection {
    Q_OBJECT

public:
    // Opens path (created when missing) in the given store, by default the current user's.
    explicit TConfiguration(const QString& path, std::shared_ptr<TRegistryStore> store = {});
    ~TConfiguration() override;

    QString GetKey() const override { return {}; }
    TFixedRegIniFile& GetRegistry() const override { return *FRegistry; }
    using TConfigurationSection::ReadStream;
    using TConfigurationSection::WriteStream;
    void WriteStream(const QString& key, const QString& name, TMemoryStream& stream) override;
    void ReadStream(const QString& key, const QString& name, TMemoryStream& stream) override;

    const QString& SubPath() const { return FSubPath; }
    void SetSubPath(const QString& value);
    void WriteConfig();
    void ReadConfig();
    // What the configuration service calls; a write reaches the file once.
    void WriteObject(const QString& key, QObject* instance);
    void ReadObject(const QString& key, QObject* instance);

private:
    std::unique_ptr<TFixedRegIniFile> FRegistry;
    QString FSubPath;
};
