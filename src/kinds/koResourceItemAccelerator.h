// Accelerator tables: a flat list of keys with modifiers and the command each one sends, and the text
// forms of such keys used by the property inspector, the views and the RC writer.
#pragma once

#include "model/koResourcesItemItems.h"
#include "platform/ShortCuts.h"

#include <QMetaType>
#include <cstdint>
#include <memory>

class TAcceleratorResourceItem;
class TAcceleratorItem;

// The key in the low bits (a virtual-key code, or a character code for an ASCII accelerator) with the
// flags below. With atVirtualKey the value without it is a shortcut value (see TShortCut).
struct TAccelerator {
    uint16_t Value = 0;
    constexpr TAccelerator() = default;
    constexpr TAccelerator(uint16_t value) : Value(value) {}
    constexpr operator uint16_t() const { return Value; }
};
Q_DECLARE_METATYPE(TAccelerator)

inline constexpr uint16_t atVirtualKey = 0x1000;
inline constexpr uint16_t atShift = 0x2000;
inline constexpr uint16_t atCtrl = 0x4000;
inline constexpr uint16_t atAlt = 0x8000;

enum TAcceleratorType { atVirtual, atASCII };

// One entry of an accelerator table as the platform hands it over; the file holds it in 8 bytes
// (flags, key, command ID, padding).
struct ACCEL {
    uint16_t fVirt = 0;
    uint16_t key = 0;
    uint16_t cmd = 0;
};

inline constexpr uint16_t FVIRTKEY = 0x01;
inline constexpr uint16_t FNOINVERT = 0x02;
inline constexpr uint16_t FSHIFT = 0x04;
inline constexpr uint16_t FCONTROL = 0x08;
inline constexpr uint16_t FALT = 0x10;
// Marks the last entry of a table.
inline constexpr uint16_t FLASTENTRY = 0x80;

// The text of a key: "Ctrl+S", "Shift+Ctrl+A"; "(None)" for no key.
QString AcceleratorToText(TAccelerator Value);
QString AccelToText(const ACCEL& Accel);
// The kind of the current value decides how the text is read: a shortcut text for a virtual key, an
// ASCII text otherwise. "(None)" clears the key.
void TextToAccelerator(const QString& Text, TAccelerator& Value);
// "Shift+", "Ctrl+" or "^", "Alt+" prefixes, then a key name, "#" and a decimal code, or a character;
// 0 when the code is outside 1..255. A "#" with no number raises EConvertError.
TAccelerator TextToASCIIAccelerator(const QString& Text);

class TAcceleratorItem : public TResourceItemItem<TAcceleratorResourceItem>, public IResourceSymbolNotification {
    Q_OBJECT
    Q_PROPERTY(TCustomResourceOrdinalWordIdentifier* Command READ Command WRITE SetCommand)
    Q_PROPERTY(TAccelerator Shortcut READ Shortcut WRITE SetShortcut)
    Q_PROPERTY(TAcceleratorType AcceleratorType READ AcceleratorType WRITE SetAcceleratorType)

public:
    // The command ID of an entry; may be bound to a symbol of the table's module.
    class TResourceAcceleratorIdentifier : public TResourceOrdinalChildIdentifier<TAcceleratorItem> {
    public:
        using TResourceOrdinalChildIdentifier<TAcceleratorItem>::TResourceChildIdentifierOf;
    };

    explicit TAcceleratorItem(TCustomResourceItemItems* ACollection);
    ~TAcceleratorItem() override;

    // Made on first use, bound to the table.
    TResourceAcceleratorIdentifier* Command() const;
    // Takes the value and the symbol of the given identifier.
    void SetCommand(const TCustomResourceIdentifier* Value);
    TAccelerator Shortcut() const { return FShortcut; }
    void SetShortcut(TAccelerator Value);
    TAcceleratorType AcceleratorType() const { return (FShortcut.Value & atVirtualKey) ? atVirtual : atASCII; }
    // To ASCII the key keeps its low byte only (the modifiers go too); to virtual it gains the flag.
    void SetAcceleratorType(TAcceleratorType Value);
    // "key: command", the command by its symbol name when bound.
    QString DisplayName() const;

    void AcceleratorToItem(const ACCEL& Accel);
    // The flags never hold the last-entry mark: the table adds it.
    ACCEL ItemToAccelerator() const;

    void ResourceSymbolNotification(TResourceSymbol*, TResourceSymbolNotification) override {}

private:
    TAccelerator FShortcut;
    mutable std::unique_ptr<TResourceAcceleratorIdentifier> FCommand;
};

class TAcceleratorItems : public TResourceItemItems<TAcceleratorResourceItem, TAcceleratorItem> {
public:
    using TResourceItemItems::TResourceItemItems;
    using TResourceItemItems::Add;
    TAcceleratorItem* Add(const ACCEL& Accel);

protected:
    // A new entry outside loading takes the module's next command ID when the module keeps counters.
    void Notify(TCustomResourceItemItem* Item, TCollectionNotification Action) override;
};

Q_DECLARE_METATYPE(TAcceleratorItems*)

class TAcceleratorResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAcceleratorResourceItem, TResourceItem)
    Q_PROPERTY(TAcceleratorItems* Accelerators READ Accelerators)

public:
    explicit TAcceleratorResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TAcceleratorResourceItem() override;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate}; }
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TAcceleratorItems* Accelerators() const { return FAccelerators.get(); }
    void Clear() override;
    void InitializeNewItem() override;
    // Entries of 8 bytes up to the one marked last; a cut entry at the end is dropped.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    // Every entry with the command ID is bound to the symbol.
    void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) override;

private:
    std::unique_ptr<TAcceleratorItems> FAccelerators;
};

void koResourceItemAccelerator_Initialize();
void koResourceItemAccelerator_Finalize();
