// Identifiers: a resource's name or an element's number as an object that can be bound to a symbol of
// the module. While bound it shows the symbol's name, follows the symbol's value and lets the symbol
// refuse values it cannot take. Every change of an identifier is a change of its item.
#pragma once

#include "koResources.h"

#include <QObject>
#include <QVariant>
#include <memory>

class TCustomResourceItem;
class TCustomResourceIdentifier;
class TResourceSymbol;

enum TResourceSymbolNotification { snSubscribe, snUnsubscribe, snChanged };

class IResourceSymbolNotification {
public:
    virtual void ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification) = 0;

protected:
    ~IResourceSymbolNotification() = default;
};

class IResourceSymbolReference : public IResourceSymbolNotification {
public:
    virtual TCustomResourceIdentifier* GetResourceIdentifier() = 0;
    // Raises when the reference cannot take the value.
    virtual void ValidateValue(const QVariant& Value) = 0;

protected:
    ~IResourceSymbolReference() = default;
};

class TCustomResourceIdentifier : public QObject, public IResourceSymbolReference {
    Q_OBJECT
    Q_PROPERTY(QString Value READ Value WRITE SetValue)
    Q_PROPERTY(QString Identifier READ Identifier WRITE SetIdentifier)

public:
    explicit TCustomResourceIdentifier(TCustomResourceItem* AResourceItem);
    ~TCustomResourceIdentifier() override;

    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    TResourceSymbol* Symbol() const { return FSymbol; }
    // Binds to the symbol (taking its value) or, with nullptr, unbinds. A value the identifier cannot
    // take raises and leaves the old binding.
    void SetSymbol(TResourceSymbol* Value) { DoSetSymbol(Value); }
    QString Value() const { return GetValue(); }
    void SetValue(const QString& Text) { DoSetValue(Text); }
    // The bound symbol's name, else Value. Setting it binds to the module's symbol of that name when
    // there is one, else sets the value.
    QString ID() const;
    void SetID(const QString& Text);
    // The bound symbol's name; empty when unbound. Setting it binds to the module's symbol of that name
    // (case-insensitive), created with the current value when missing; the empty name unbinds.
    QString Identifier() const;
    void SetIdentifier(const QString& Name);
    // Lets go of the symbol without touching the item (the item is going away).
    void ReleaseSymbol();

    void BeginUpdate();
    void EndUpdate();
    // A bound source binds this identifier to the symbol of the same name in its own module.
    virtual void Assign(const TCustomResourceIdentifier* Source);

    // IResourceSymbolReference
    TCustomResourceIdentifier* GetResourceIdentifier() override { return this; }
    void ValidateValue(const QVariant& Value) override {}
    void ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification) override;

protected:
    virtual QString GetValue() const = 0;
    virtual void DoSetValue(const QString& Text) = 0;
    virtual void DoSetSymbol(TResourceSymbol* Value);
    // "%s must have ordinal (numeric) name" with the item's type.
    [[noreturn]] void RaiseNotOrdinal() const;

    TCustomResourceItem* FResourceItem;
    TResourceSymbol* FSymbol = nullptr;
};

// A number: command, control and string IDs.
class TCustomResourceOrdinalIdentifier : public TCustomResourceIdentifier {
    Q_OBJECT

public:
    using TCustomResourceIdentifier::TCustomResourceIdentifier;
    int32_t GetOrdinal() const { return FOrdinalValue; }
    // A value other than the bound symbol's releases the binding.
    virtual void SetOrdinal(int32_t Value);
    // The symbol's value must be a number.
    void ValidateValue(const QVariant& Value) override;

protected:
    void DoSetValue(const QString& Text) override;

private:
    int32_t FOrdinalValue = 0;
};

// A 16-bit number; a value read as 65535 shows as "-1".
class TCustomResourceOrdinalWordIdentifier : public TCustomResourceOrdinalIdentifier {
    Q_OBJECT

public:
    using TCustomResourceOrdinalIdentifier::TCustomResourceOrdinalIdentifier;
    uint16_t OrdinalValue() const { return static_cast<uint16_t>(GetOrdinal()); }
    void SetOrdinalValue(uint16_t Value) { SetOrdinal(Value); }

protected:
    QString GetValue() const override;
};

// A 32-bit number; 0xFFFFFFFF shows as "-1".
class TCustomResourceOrdinalDWordIdentifier : public TCustomResourceOrdinalIdentifier {
    Q_OBJECT

public:
    using TCustomResourceOrdinalIdentifier::TCustomResourceOrdinalIdentifier;
    uint32_t OrdinalValue() const { return static_cast<uint32_t>(GetOrdinal()); }
    void SetOrdinalValue(uint32_t Value) { SetOrdinal(static_cast<int32_t>(Value)); }

protected:
    QString GetValue() const override;
};

class TResourceIdentifierBase : public TCustomResourceIdentifier {
    Q_OBJECT

public:
    using TCustomResourceIdentifier::TCustomResourceIdentifier;
    TResourceIdent IdentifierValue() const { return GetIdentifierValue(); }
    void SetIdentifierValue(const TResourceIdent& V) { DoSetIdentifierValue(V); }

protected:
    QString GetValue() const override;
    void DoSetValue(const QString& Text) override;
    virtual void DoSetIdentifierValue(const TResourceIdent& V);
    virtual TResourceIdent GetIdentifierValue() const = 0;
    virtual void StoreIdentifierValue(const TResourceIdent& V) = 0;
    virtual void ValidateIdentifierValue(const TResourceIdent& V) {}
};

class TResourceIdentifier : public TResourceIdentifierBase {
    Q_OBJECT

public:
    using TResourceIdentifierBase::TResourceIdentifierBase;

protected:
    void DoSetIdentifierValue(const TResourceIdent& V) override;
    TResourceIdent GetIdentifierValue() const override { return FIdentifierValue; }
    void StoreIdentifierValue(const TResourceIdent& V) override { FIdentifierValue = V; }

private:
    TResourceIdent FIdentifierValue;
    friend class TCustomResourceItem;
};

// The name of an item: a new value must be free among the module's items of the same type.
class TResourceNameIdentifier : public TResourceIdentifier {
    Q_OBJECT

public:
    using TResourceIdentifier::TResourceIdentifier;
    static std::unique_ptr<TResourceIdentifier> Create(TCustomResourceItem* AResourceItem)
    {
        return std::make_unique<TResourceNameIdentifier>(AResourceItem);
    }
    void ValidateValue(const QVariant& Value) override;

protected:
    void ValidateIdentifierValue(const TResourceIdent& V) override;
};

// The name of a kind that only has ordinal names (string table blocks and the like).
class TResourceOrdinalNameIdentifier : public TResourceNameIdentifier {
    Q_OBJECT

public:
    using TResourceNameIdentifier::TResourceNameIdentifier;
    static std::unique_ptr<TResourceIdentifier> Create(TCustomResourceItem* AResourceItem)
    {
        return std::make_unique<TResourceOrdinalNameIdentifier>(AResourceItem);
    }

protected:
    void ValidateIdentifierValue(const TResourceIdent& V) override;
};

// Upper-cases a named value, keeps an ordinal as it is.
TResourceIdent NormalizeResourceIdent(const TResourceIdent& value);
// The module symbol of that name, compared case-insensitively; nullptr when none.
TResourceSymbol* FindSymbolIgnoringCase(TCustomResourceItem* Item, const QString& Name);
