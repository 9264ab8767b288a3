// Message tables: numbered texts (the ID is 32 bits) kept in blocks of consecutive IDs, each entry ANSI
// in the code page of the table's language or UTF-16. A ".msg" file holds the resource data as it is.
#pragma once

#include "kinds/koResourceItemString.h"

#include <QSet>
#include <cstdint>

class TMessageTableResourceItem : public TCustomStringResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TMessageTableResourceItem, TCustomStringResourceItem)
    Q_PROPERTY(TResourceIdentifier* ID READ ID WRITE SetID)
    Q_PROPERTY(int Size READ Size)

public:
    explicit TMessageTableResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    // Any file named "*.msg", whatever it holds.
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    void Clear() override;
    void InitializeNewItem() override;
    // Raises "Premature end of data" for a count or block record cut short and "Malformed resource item"
    // for entries that do not lie inside the data; reads nothing past Size bytes.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    // Consecutive IDs share a block. A block is UTF-16 when one of its messages was read from a UTF-16
    // block or does not survive the language's code page, else ANSI. No messages: no bytes at all.
    void SaveToStream(TStream& Stream) override;
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;

private:
    // IDs of the messages read from UTF-16 blocks: written as UTF-16 again.
    QSet<uint32_t> FUnicodeIDs;
};

void koResourceItemMessageTable_Initialize();
void koResourceItemMessageTable_Finalize();
