// Property editors of dialogs and their controls: hexadecimal styles, and the bitmap or icon a static
// picture control shows (the module's pictures and the system's, drawn in the list).
#pragma once

#include "model/koResources.h"
#include "views/AtelierPropertyEditors.h"

#include <QImage>

class TResourceDialogStaticImageProperty : public TResourceIdentifierProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceDialogStaticImageProperty, TResourceIdentifierProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    void ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight) override;
    void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth) override;
    void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected) override;

protected:
    // The picture of a list entry; null when nothing resolves.
    virtual QImage EntryImage(const QString& Value) { return {}; }
    // A list entry as an identifier: a symbol's value, else the text as a resource identifier.
    TResourceIdent EntryIdent(const QString& Value);
    // Appends the system pictures of First..Last that load, each named by the module's first symbol
    // with that ordinal value and Prefix, else by its number.
    void AddSystemEntries(int First, int Last, const QString& Prefix, QImage (*Load)(uint16_t), QStringList& Values);
};

class TResourceDialogStaticBitmapProperty : public TResourceDialogStaticImageProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceDialogStaticBitmapProperty, TResourceDialogStaticImageProperty)
public:
    void GetValues(QStringList& Values) override;

protected:
    QImage EntryImage(const QString& Value) override;
};

class TResourceDialogStaticIconProperty : public TResourceDialogStaticImageProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceDialogStaticIconProperty, TResourceDialogStaticImageProperty)
public:
    void GetValues(QStringList& Values) override;

protected:
    QImage EntryImage(const QString& Value) override;
};

// Our stand-ins for the system's bitmaps (32730 to 32767): the ones we draw, null for the others.
QImage SystemBitmapImage(uint16_t Ordinal);

void RegisterDialogPropertyEditors();
