// The resource compiler's symbol data: resources of the type "HWB" that a compile in symbol mode adds to
// its output, describing the script (source info 1, resource map 2), its header files with their
// symbols and include tree (200), the resources taken from files (201) and the symbols naming each
// resource and its controls or commands (202). Kept as raw bytes and decoded into read-only entries;
// the RC reader rebuilds the module's symbols, files and bindings from them. Never written to a module.
#pragma once

#include "model/koResourcesItemItems.h"
#include "model/koResourcesKinds.h"

class TBinaryReader;

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class THWBResourceMapResourceItem;
class THWBSymbolDefResourceItem;
class THWBFileMapResourceItem;
class THWBSymbolMapResourceItem;

// The named type of the symbol data.
inline constexpr char HWBResourceTypeName[] = "HWB";
enum : uint16_t {
    HWB_SOURCEINFO = 1,
    HWB_RESOURCEMAP = 2,
    HWB_SYMBOLDEFS = 200,
    HWB_FILEMAP = 201,
    HWB_SYMBOLMAP = 202,
};

class TCustomHWBResourceItem : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomHWBResourceItem, TCustomResourceItemGeneric)

public:
    explicit TCustomHWBResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static QString ResourceTypeName();
    // The record kind the data holds.
    QString SubType() const { return GetSubType(); }

protected:
    virtual QString GetSubType() const;
    bool GetHidden() const override { return true; }
    bool GetInternal() const override { return true; }
};

// The kinds whose records decode into one collection of entries, owned here.
class TCustomHWBEntriesResourceItem : public TCustomHWBResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomHWBEntriesResourceItem, TCustomHWBResourceItem)

public:
    ~TCustomHWBEntriesResourceItem() override;
    void Clear() override;
    // The raw load, then the records decoded from the start of the data.
    void LoadFromStream(TStream& Stream, int64_t Size) override;

protected:
    // Reads records while they lie whole inside the data; one cut short or out of place ends the list
    // (with a warning) and the entries before it stay.
    virtual void Decode(const TBinaryReader& Data) = 0;
    using TCustomHWBResourceItem::TCustomHWBResourceItem;
    // Called once by the constructor of each kind.
    void SetEntries(std::unique_ptr<TCustomResourceItemItems> Value) { FEntries = std::move(Value); }
    TCustomResourceItemItems* EntriesBase() const { return FEntries.get(); }

private:
    std::unique_ptr<TCustomResourceItemItems> FEntries;
};

// --- Source file info (1)

class THWBSourceInfoResourceItem : public TCustomHWBResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THWBSourceInfoResourceItem, TCustomHWBResourceItem)
    Q_PROPERTY(uint Offset READ Offset)
    Q_PROPERTY(QByteArray Filename READ SourceFilename)
    Q_PROPERTY(QString SubType READ SubType)

public:
    using TCustomHWBResourceItem::TCustomHWBResourceItem;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*);
    uint32_t Offset() const { return FOffset; }
    const QByteArray& SourceFilename() const { return FFilename; }
    void Clear() override;
    // Raises "Premature end of data" when the offset is cut short.
    void LoadFromStream(TStream& Stream, int64_t Size) override;

protected:
    QString GetSubType() const override { return QStringLiteral("Source file info"); }

private:
    uint32_t FOffset = 0;
    QByteArray FFilename;
};

// --- Resource map (2)

class TResourceMapItem : public TResourceItemItem<THWBResourceMapResourceItem> {
    Q_OBJECT
    Q_PROPERTY(uint Size READ Size)
    Q_PROPERTY(uint Offset READ Offset)
    Q_PROPERTY(QString ResType READ ResType)
    Q_PROPERTY(QString ResName READ ResName)
    Q_PROPERTY(uint StructVersion READ StructVersion)
    Q_PROPERTY(ushort Flags READ Flags)
    Q_PROPERTY(ushort Language READ Language)
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(uint Characteristics READ Characteristics)
    friend class THWBResourceMapResourceItem;

public:
    using TResourceItemItem::TResourceItemItem;
    uint32_t Size() const { return FSize; }
    uint32_t Offset() const { return FOffset; }
    const TResourceIdent& ResourceType() const { return FResType; }
    const TResourceIdent& ResourceName() const { return FResName; }
    // The RC keyword of an ordinal type, else the name.
    QString ResType() const;
    // "#n" for an ordinal, else the name.
    QString ResName() const;
    uint32_t StructVersion() const { return FStructVersion; }
    uint16_t Flags() const { return FFlags; }
    uint16_t Language() const { return FLanguage; }
    uint32_t Version() const { return FVersion; }
    uint32_t Characteristics() const { return FCharacteristics; }
    QString DisplayName() const;

private:
    uint32_t FSize = 0;
    uint32_t FOffset = 0;
    TResourceIdent FResType;
    TResourceIdent FResName;
    uint32_t FStructVersion = 0;
    uint16_t FFlags = 0;
    uint16_t FLanguage = 0;
    uint32_t FVersion = 0;
    uint32_t FCharacteristics = 0;
};

using TResourceMapItems = TResourceItemItems<THWBResourceMapResourceItem, TResourceMapItem>;
Q_DECLARE_METATYPE(TResourceMapItems*)

class THWBResourceMapResourceItem : public TCustomHWBEntriesResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THWBResourceMapResourceItem, TCustomHWBEntriesResourceItem)
    Q_PROPERTY(TResourceMapItems* Items READ Entries)
    Q_PROPERTY(QString SubType READ SubType)

public:
    explicit THWBResourceMapResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*);
    TResourceMapItems* Entries() const { return static_cast<TResourceMapItems*>(EntriesBase()); }

protected:
    void Decode(const TBinaryReader& Data) override;
    QString GetSubType() const override { return QStringLiteral("Resource Map"); }
};

// --- Symbol definitions (200)

class TSymbolDefFileItem;

class TSymbolDefItem : public TCustomResourceItemItem {
    Q_OBJECT
    Q_PROPERTY(QByteArray Symbol READ Symbol)
    Q_PROPERTY(QByteArray Value READ Value)
    Q_PROPERTY(ushort LineNumber READ LineNumber)
    Q_PROPERTY(uchar ReadOnly READ ReadOnly)
    friend class THWBSymbolDefResourceItem;

public:
    using TCustomResourceItemItem::TCustomResourceItemItem;
    const QByteArray& Symbol() const { return FSymbol; }
    const QByteArray& Value() const { return FValue; }
    uint16_t LineNumber() const { return FLineNumber; }
    uint8_t ReadOnly() const { return FReadOnly; }
    QString DisplayName() const;

protected:
    TCustomResourceItem* GetBaseResourceItem() const override;

private:
    QByteArray FSymbol;
    QByteArray FValue;
    uint16_t FLineNumber = 0;
    uint8_t FReadOnly = 0;
};

// The symbols of one file: a change of a symbol is a change of the file entry.
class TSymbolDefCollection : public TCustomResourceItemItems {
public:
    TSymbolDefCollection(TCustomResourceItem* AResourceItem, TSymbolDefFileItem* AFileItem)
        : TCustomResourceItemItems(AResourceItem), FFileItem(AFileItem)
    {
    }
    TSymbolDefFileItem* FileItem() const { return FFileItem; }
    TSymbolDefItem* Add() { return static_cast<TSymbolDefItem*>(AddItem()); }
    TSymbolDefItem* Items(int Index) const { return static_cast<TSymbolDefItem*>(Item(Index)); }
    void Update(TCustomResourceItemItem* Item) override;

protected:
    std::unique_ptr<TCustomResourceItemItem> CreateElement() override { return std::make_unique<TSymbolDefItem>(this); }

private:
    TSymbolDefFileItem* FFileItem;
};
Q_DECLARE_METATYPE(TSymbolDefCollection*)

// The files one file entry includes; lists them without owning them.
class TSymbolDefFileItems {
public:
    void Add(TSymbolDefFileItem* Item);
    void Remove(TSymbolDefFileItem* Item);
    void Clear() { FList.clear(); }
    int Count() const { return static_cast<int>(FList.size()); }
    TSymbolDefFileItem* Items(int Index) const;
    TSymbolDefFileItem* operator[](int Index) const { return Items(Index); }

private:
    std::vector<TSymbolDefFileItem*> FList;
};

class TSymbolDefFileItem : public TResourceItemItem<THWBSymbolDefResourceItem> {
    Q_OBJECT
    Q_PROPERTY(QByteArray Filename READ Filename)
    Q_PROPERTY(uchar ReadOnly READ ReadOnly)
    Q_PROPERTY(ushort Level READ Level)
    Q_PROPERTY(TSymbolDefCollection* Symbols READ Symbols)
    Q_PROPERTY(TSymbolDefFileItem* ParentFile READ ParentFile)
    friend class THWBSymbolDefResourceItem;

public:
    explicit TSymbolDefFileItem(TCustomResourceItemItems* ACollection);
    // Leaves its parent's ChildFiles, clears its symbols and lets go of its children.
    ~TSymbolDefFileItem() override;
    const QByteArray& Filename() const { return FFilename; }
    uint8_t ReadOnly() const { return FReadOnly; }
    uint16_t Level() const { return FLevel; }
    TSymbolDefCollection* Symbols() const { return FSymbols.get(); }
    TSymbolDefFileItem* ParentFile() const { return FParentFile; }
    // Moves the entry from the old parent's ChildFiles to the new one's.
    void SetParentFile(TSymbolDefFileItem* Value);
    TSymbolDefFileItems& ChildFiles() { return FChildFiles; }
    const TSymbolDefFileItems& ChildFiles() const { return FChildFiles; }
    QString DisplayName() const;

private:
    QByteArray FFilename;
    uint8_t FReadOnly = 0;
    uint16_t FLevel = 0;
    std::unique_ptr<TSymbolDefCollection> FSymbols;
    TSymbolDefFileItem* FParentFile = nullptr;
    TSymbolDefFileItems FChildFiles;
};

using TSymbolDefFileItemCollection = TResourceItemItems<THWBSymbolDefResourceItem, TSymbolDefFileItem>;
Q_DECLARE_METATYPE(TSymbolDefFileItemCollection*)

class THWBSymbolDefResourceItem : public TCustomHWBEntriesResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THWBSymbolDefResourceItem, TCustomHWBEntriesResourceItem)
    Q_PROPERTY(TSymbolDefFileItemCollection* Items READ Files)
    Q_PROPERTY(QString SubType READ SubType)

public:
    explicit THWBSymbolDefResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*);
    // Saving the developer list is offered only while a debugger is attached.
    static TResourceItemCapabilities Capabilities();
    TSymbolDefFileItemCollection* Files() const { return static_cast<TSymbolDefFileItemCollection*>(EntriesBase()); }
    // Under a debugger: the developer list (every named symbol with its value); else the raw data.
    void SaveToFileStream(TStream& Stream) override;
    // The developer list itself.
    void SaveSymbolList(TStream& Stream) const;

protected:
    void Decode(const TBinaryReader& Data) override;
    QString GetSubType() const override { return QStringLiteral("Symbol Definitions"); }
};

// --- File map (201)

class TFileMapItem : public TResourceItemItem<THWBFileMapResourceItem> {
    Q_OBJECT
    Q_PROPERTY(QString ResType READ ResType)
    Q_PROPERTY(QString ResName READ ResName)
    Q_PROPERTY(ushort Language READ Language)
    Q_PROPERTY(QString Filename READ Filename)
    friend class THWBFileMapResourceItem;

public:
    using TResourceItemItem::TResourceItemItem;
    const TResourceIdent& ResourceType() const { return FResType; }
    const TResourceIdent& ResourceName() const { return FResName; }
    QString ResType() const;
    QString ResName() const;
    uint16_t Language() const { return FLanguage; }
    const QString& Filename() const { return FFilename; }
    QString DisplayName() const;

private:
    TResourceIdent FResType;
    TResourceIdent FResName;
    uint16_t FLanguage = 0;
    QString FFilename;
};

using TFileMapItems = TResourceItemItems<THWBFileMapResourceItem, TFileMapItem>;
Q_DECLARE_METATYPE(TFileMapItems*)

class THWBFileMapResourceItem : public TCustomHWBEntriesResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THWBFileMapResourceItem, TCustomHWBEntriesResourceItem)
    Q_PROPERTY(TFileMapItems* Items READ Entries)
    Q_PROPERTY(QString SubType READ SubType)

public:
    explicit THWBFileMapResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*);
    TFileMapItems* Entries() const { return static_cast<TFileMapItems*>(EntriesBase()); }

protected:
    void Decode(const TBinaryReader& Data) override;
    QString GetSubType() const override { return QStringLiteral("File Map"); }
};

// --- Symbol map (202)

class TSymbolMapSymbolItem : public TCustomResourceItemItem {
    Q_OBJECT
    Q_PROPERTY(QByteArray Name READ Name)
    Q_PROPERTY(ushort ID READ ID)
    friend class THWBSymbolMapResourceItem;

public:
    using TCustomResourceItemItem::TCustomResourceItemItem;
    const QByteArray& Name() const { return FName; }
    uint16_t ID() const { return FID; }
    QString DisplayName() const;

protected:
    TCustomResourceItem* GetBaseResourceItem() const override;

private:
    QByteArray FName;
    uint16_t FID = 0;
};

class TSymbolMapSymbolItems : public TCustomResourceItemItems {
public:
    using TCustomResourceItemItems::TCustomResourceItemItems;
    TSymbolMapSymbolItem* Add() { return static_cast<TSymbolMapSymbolItem*>(AddItem()); }
    TSymbolMapSymbolItem* Items(int Index) const { return static_cast<TSymbolMapSymbolItem*>(Item(Index)); }

protected:
    std::unique_ptr<TCustomResourceItemItem> CreateElement() override
    {
        return std::make_unique<TSymbolMapSymbolItem>(this);
    }
};
Q_DECLARE_METATYPE(TSymbolMapSymbolItems*)

class TSymbolMapItem : public TResourceItemItem<THWBSymbolMapResourceItem> {
    Q_OBJECT
    Q_PROPERTY(QByteArray ResType READ ResType)
    Q_PROPERTY(QByteArray ResID READ ResID)
    Q_PROPERTY(QByteArray Symbol READ Symbol)
    Q_PROPERTY(QByteArray Filename READ Filename)
    Q_PROPERTY(ushort LineNumber READ LineNumber)
    Q_PROPERTY(TSymbolMapSymbolItems* Symbols READ Symbols)
    friend class THWBSymbolMapResourceItem;

public:
    explicit TSymbolMapItem(TCustomResourceItemItems* ACollection);
    ~TSymbolMapItem() override;
    const QByteArray& ResType() const { return FResType; }
    const QByteArray& ResID() const { return FResID; }
    const QByteArray& Symbol() const { return FSymbol; }
    const QByteArray& Filename() const { return FFilename; }
    uint16_t LineNumber() const { return FLineNumber; }
    TSymbolMapSymbolItems* Symbols() const { return FSymbols.get(); }
    QString DisplayName() const;

private:
    QByteArray FResType;
    QByteArray FResID;
    QByteArray FSymbol;
    QByteArray FFilename;
    uint16_t FLineNumber = 0;
    std::unique_ptr<TSymbolMapSymbolItems> FSymbols;
};

using TSymbolMapItems = TResourceItemItems<THWBSymbolMapResourceItem, TSymbolMapItem>;
Q_DECLARE_METATYPE(TSymbolMapItems*)

class THWBSymbolMapResourceItem : public TCustomHWBEntriesResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THWBSymbolMapResourceItem, TCustomHWBEntriesResourceItem)
    Q_PROPERTY(TSymbolMapItems* Items READ Entries)
    Q_PROPERTY(QString SubType READ SubType)

public:
    explicit THWBSymbolMapResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream*);
    TSymbolMapItems* Entries() const { return static_cast<TSymbolMapItems*>(EntriesBase()); }

protected:
    void Decode(const TBinaryReader& Data) override;
    QString GetSubType() const override { return QStringLiteral("Symbol Map"); }
};

void koResourceItemHWB_Initialize();
void koResourceItemHWB_Finalize();
