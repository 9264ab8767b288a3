// Identifiers: a resource's name (or an element's number) as an object that can be bound to a symbol of
// the module. Every change of an identifier is a change of its item.
#pragma once

#include "koResources.h"

#include <QObject>
#include <QVariant>
#include <memory>

class TCustomResourceItem;
class TResourceSymbol;
class TResourceIdentifier;

class TCustomResourceIdentifier : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Value READ Value WRITE SetValue)
    Q_PROPERTY(QString Identifier READ Identifier)

public:
    explicit TCustomResourceIdentifier(TCustomResourceItem* AResourceItem);
    ~TCustomResourceIdentifier() override;

    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    TResourceSymbol* Symbol() const { return FSymbol; }
    QString Value() const { return GetValue(); }
    void SetValue(const QString& Text) { DoSetValue(Text); }
    // The bound symbol's name, else Value.
    QString ID() const;
    // The bound symbol's name; empty when unbound.
    QString Identifier() const;

    void BeginUpdate();
    void EndUpdate();
    virtual void Assign(const TCustomResourceIdentifier* Source);
    // Raises when the identifier cannot take a symbol's value.
    virtual void ValidateValue(const QVariant& Value) {}

protected:
    virtual QString GetValue() const = 0;
    virtual void DoSetValue(const QString& Text) = 0;

    TCustomResourceItem* FResourceItem;
    TResourceSymbol* FSymbol = nullptr;
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

protected:
    void ValidateIdentifierValue(const TResourceIdent& V) override;
};

// Upper-cases a named value, keeps an ordinal as it is.
TResourceIdent NormalizeResourceIdent(const TResourceIdent& value);
