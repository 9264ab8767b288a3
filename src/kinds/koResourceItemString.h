// String tables, and the tests that decide whether bytes are text.
#pragma once

#include "model/koResourcesItemItems.h"
#include "platform/Sets.h"

#include <QHash>
#include <cstdint>
#include <map>
#include <optional>

class TStream;
class TCustomStringResourceItem;
class TResourceStringsString;

// Each looks at the first kilobyte from the stream's position and leaves the position as it was,
// also when reading fails. An empty stream is no text.
bool IsASCIIText(TStream& Stream, const TByteSet& Extra = {});
bool IsANSIText(TStream& Stream, const TByteSet& Extra = {});
bool IsUnicodeText(TStream& Stream, const TByteSet& Extra = {});
bool IsUTF8Text(TStream& Stream, const TByteSet& Extra = {});

// The ID of a string: unique within its table.
class TResourceStringsStringIdentifier : public TResourceOrdinalDwordChildIdentifier<TResourceStringsString> {
public:
    using TResourceOrdinalDwordChildIdentifier<TResourceStringsString>::TResourceChildIdentifierOf;
    // "Duplicate string ID: %u" when another string of the table holds the value.
    void SetOrdinal(int32_t Value) override;
};

class TResourceStringsString : public TResourceItemItem<TCustomStringResourceItem>, public IResourceTextItem {
    Q_OBJECT
    Q_PROPERTY(TCustomResourceOrdinalDWordIdentifier* ID READ ID WRITE SetID)
    Q_PROPERTY(QString Value READ Value WRITE SetValue)

public:
    // A new string takes the smallest ID from 1 up that no other string of the table holds.
    explicit TResourceStringsString(TCustomResourceItemItems* ACollection);
    ~TResourceStringsString() override;

    TResourceStringsStringIdentifier* ID() const { return FID.get(); }
    // Takes the value and the symbol of the given identifier.
    void SetID(const TCustomResourceIdentifier* Value);
    uint32_t IDValue() const { return FID->OrdinalValue(); }
    const QString& Value() const { return FValue; }
    void SetValue(const QString& AValue);
    // The ID as shown: its symbol's name when bound, else the number.
    QString DisplayName() const { return FID ? FID->ID() : QString(); }

    QString GetText() override { return FValue; }
    void SetText(const QString& AValue) override { SetValue(AValue); }

private:
    std::unique_ptr<TResourceStringsStringIdentifier> FID;
    QString FValue;
};

// The strings of a table, with an index by ID so that loading, saving and lookups stay linear.
class TResourceStrings : public TResourceItemItems<TCustomStringResourceItem, TResourceStringsString> {
public:
    using TResourceItemItems::TResourceItemItems;
    ~TResourceStrings() override;
    // The string with the ID; -1 or nullptr when none.
    int IndexOfID(uint32_t ID) const;
    TResourceStringsString* FindID(uint32_t ID) const;
    QString ValueByID(uint32_t ID) const;
    // A new string with the given ID; "Duplicate string ID: %u" when a string holds it.
    TResourceStringsString* AddID(uint32_t ID);

private:
    friend class TResourceStringsString;
    friend class TResourceStringsStringIdentifier;
    // The ID a new string takes: the one AddID asked for, else the smallest free from 1 up.
    int32_t NewStringID();
    void Attach(TResourceStringsString* String);
    void Detach(TResourceStringsString* String);
    void Rekey(TResourceStringsString* String, int32_t OldID);

    QHash<int32_t, TResourceStringsString*> FByID;
    // No ID below this one from 1 up is free.
    int32_t FFreeHint = 1;
    std::optional<int32_t> FRequestedID;
};

Q_DECLARE_METATYPE(TResourceStrings*)

// The base of the string kinds: an item holding a collection of strings.
class TCustomStringResourceItem : public TCustomResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomStringResourceItem, TCustomResourceItem)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName)
    Q_PROPERTY(TLanguageID Language READ Language WRITE SetLanguage)
    Q_PROPERTY(TResourceStrings* Strings READ Strings)

public:
    TCustomStringResourceItem(const TResourceIdent& AResType, const TResourceIdent& AResName);
    ~TCustomStringResourceItem() override;
    TResourceStrings* Strings() const { return FStrings.get(); }
    void Clear() override;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback) override;

private:
    std::unique_ptr<TResourceStrings> FStrings;
};

// The merged string table of one language: what the tree, the editors and the RC writer see. Its
// strings come from the RT_STRING blocks when a module is read and go back into blocks when it is saved.
class TStringListResourceItem : public TCustomStringResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TStringListResourceItem, TCustomStringResourceItem)

public:
    explicit TStringListResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcCreate, rcLoad, rcSingle}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind)
    {
        return Kind == rgType ? LoadResourceGlyph(QStringLiteral("RES_STRINGS_TYPE"), QStringLiteral("strings.type"))
                              : inherited::GetGlyph(Kind);
    }

    void InitializeNewItem() override;
    void LoadFromStream(TStream&, int64_t) override {}
    // One string a line, numbered from the table's first ID.
    void LoadFromFileStream(TStream& Stream) override;
    // Every string as its length (16 bits) and its UTF-16 code units.
    void SaveToStream(TStream& Stream) override;
    void AfterLoad() override;
    // Makes the blocks that the module writers write; raises when a raw string resource of the module
    // holds the name and language of one of them (a file cannot hold both).
    void BeforeSave() override;
    void AfterSave() override;

protected:
    QString GetFriendlyName() const override;

private:
    friend class TStringListBlockResourceItem;
    // The header fields a block was read with; a save writes the block with them again.
    struct TBlockHeader {
        uint32_t DataVersion = 0;
        uint16_t MemoryFlags = 0;
        uint32_t Version = 0;
        uint32_t Characteristics = 0;
    };
    void FreeBlocks();
    std::map<uint16_t, TBlockHeader> FBlockHeaders;
};

// One RT_STRING resource: 16 strings; named by its block number (the strings with IDs
// (N - 1) * 16 to N * 16 - 1). It holds nothing itself: its parent, the merged table, does.
class TStringListBlockResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TStringListBlockResourceItem, TResourceItem)

public:
    explicit TStringListBlockResourceItem(const TResourceIdent& AResName);
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static QString ResourceTypeName();
    static TResourceItemClass ParentClass() { return TStringListResourceItem::ClassInfo(); }

    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;

protected:
    TIdentifierFactory GetIdentifierClass() const override { return &TResourceOrdinalNameIdentifier::Create; }
    bool GetHidden() const override { return true; }
};

void koResourceItemString_Initialize();
void koResourceItemString_Finalize();
