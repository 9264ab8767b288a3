#include "AtelierDialogPropertyEditors.h"

#include "designer/koDesignInterface.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResources.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"

#include <QPainter>
#include <QPainterPath>

namespace {
const int SystemIconSize = 32;
const uint16_t RtBitmap = 2, RtGroupCursor = 12, RtGroupIcon = 14;

TCustomResourceItem* FindModuleItem(TCustomResourceModule* Module, uint16_t Type, const TResourceIdent& Name)
{
    return Module ? Module->Find(TResourceIdent::FromOrdinal(Type), Name) : nullptr;
}

QImage Guarded(const std::function<QImage()>& Make)
{
    // Painting never raises: data that is no picture draws no sample.
    try {
        return Make();
    } catch (const Exception&) {
    } catch (const std::exception&) {
    }
    return {};
}

void DrawArrow(QPainter& Painter, qreal Angle)
{
    Painter.translate(8, 8);
    Painter.rotate(Angle);
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(Qt::black);
    Painter.drawPolygon(QPolygonF({QPointF(-4, 2), QPointF(4, 2), QPointF(0, -3)}));
}
} // namespace

QImage SystemBitmapImage(uint16_t Ordinal)
{
    // The system draws many more; these are the ones dialogs commonly name.
    enum { obmCheck = 32760, obmLfArrow = 32750, obmRgArrow = 32751, obmDnArrow = 32752, obmUpArrow = 32753,
           obmClose = 32754 };
    if (Ordinal != obmCheck && (Ordinal < obmLfArrow || Ordinal > obmClose)) return {};
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (Ordinal) {
    case obmLfArrow: DrawArrow(painter, -90); break;
    case obmRgArrow: DrawArrow(painter, 90); break;
    case obmDnArrow: DrawArrow(painter, 180); break;
    case obmUpArrow: DrawArrow(painter, 0); break;
    case obmClose:
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    default: {
        QPainterPath check;
        check.moveTo(3, 8);
        check.lineTo(6.5, 12);
        check.lineTo(13, 4);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawPath(check);
        break;
    }
    }
    return image;
}

TRunTimePropertyAttributes TResourceDialogStaticImageProperty::GetAttributes() { return {paValueList}; }

void TResourceDialogStaticImageProperty::ListMeasureHeight(const QString&, QPainter& ACanvas, int& AHeight)
{
    AHeight = std::max(ACanvas.fontMetrics().height(), SystemIconSize + 4);
}

void TResourceDialogStaticImageProperty::ListMeasureWidth(const QString&, QPainter&, int& AWidth)
{
    AWidth += SystemIconSize + 4;
}

void TResourceDialogStaticImageProperty::ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect,
                                                       bool Selected)
{
    ACanvas.fillRect(ARect, ACanvas.brush());
    const QImage image = Guarded([&] { return EntryImage(Value); });
    if (!image.isNull())
        ACanvas.drawImage(QRect(QPoint(ARect.left() + 2, ARect.top() + 2),
                                QPoint(ARect.left() + 4 + SystemIconSize - 1, ARect.bottom() - 2)),
                          image);
    QRect textRect = ARect;
    textRect.setLeft(ARect.left() + 4 + SystemIconSize);
    TRunTimePropertyEditor::ListDrawValue(Value, ACanvas, textRect, Selected);
}

TResourceIdent TResourceDialogStaticImageProperty::EntryIdent(const QString& Value)
{
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    if (const TResourceSymbol* symbol = module ? module->Symbols()->Find(Value) : nullptr) {
        if (symbol->IsNumeric()) return TResourceIdent::FromOrdinal(uint16_t(symbol->Value().toLongLong()));
        return TResourceIdent(symbol->Value().toString());
    }
    return TextToResourceIdent(Value);
}

void TResourceDialogStaticImageProperty::AddSystemEntries(int First, int Last, const QString& Prefix,
                                                          QImage (*Load)(uint16_t), QStringList& Values)
{
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    for (int ordinal = First; ordinal <= Last; ++ordinal) {
        if (Load(uint16_t(ordinal)).isNull()) continue;
        QString name = QString::number(ordinal);
        if (module) {
            TResourceSymbols* symbols = module->Symbols();
            for (int i = 0; i < symbols->Count(); ++i) {
                const TResourceSymbol* symbol = symbols->Items(i);
                if (symbol->IsNumeric() && symbol->Value().toLongLong() == ordinal && symbol->Symbol().startsWith(Prefix)) {
                    name = symbol->Symbol();
                    break;
                }
            }
        }
        Values << name;
    }
}

void TResourceDialogStaticBitmapProperty::GetValues(QStringList& Values)
{
    AddModuleItemIDs(ModuleOfItem(GetResourceItem()), RtBitmap, Values);
    AddSystemEntries(32730, 32767, QStringLiteral("OBM_"), SystemBitmapImage, Values);
}

QImage TResourceDialogStaticBitmapProperty::EntryImage(const QString& Value)
{
    const TResourceIdent ident = EntryIdent(Value);
    if (TCustomResourceItem* item = FindModuleItem(ModuleOfItem(GetResourceItem()), RtBitmap, ident)) {
        std::unique_ptr<TBitmap> bitmap = TCustomBitmapResourceItem::ItemToBitmap(item);
        if (bitmap) return bitmap->ToQImage();
    }
    return IsOrdinalResourceIdent(ident) ? SystemBitmapImage(ResourceIdentOrdinal(ident)) : QImage();
}

void TResourceDialogStaticIconProperty::GetValues(QStringList& Values)
{
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    AddModuleItemIDs(module, RtGroupIcon, Values);
    AddModuleItemIDs(module, RtGroupCursor, Values);
    AddSystemEntries(32512, 32518, QStringLiteral("OIC_"), DialogSystemIcon, Values);
}

QImage TResourceDialogStaticIconProperty::EntryImage(const QString& Value)
{
    const TResourceIdent ident = EntryIdent(Value);
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    bool icon = true;
    TCustomResourceItem* group = FindModuleItem(module, RtGroupIcon, ident);
    if (!group) {
        group = FindModuleItem(module, RtGroupCursor, ident);
        icon = false;
    }
    if (group)
        if (TBasicGraphicResourceItem* image = TBasicGraphicResourceItem::FindMatch(group, SystemIconSize, SystemIconSize, false);
            image && image != group)
            return ItemToIcon(image, icon)->ToQImage();
    return IsOrdinalResourceIdent(ident) ? DialogSystemIcon(ResourceIdentOrdinal(ident)) : QImage();
}

void RegisterDialogPropertyEditors()
{
    const PTypeInfo identifier = ClassTypeInfo(&TCustomResourceIdentifier::staticMetaObject);
    const PTypeInfo item = ClassTypeInfo(&TCustomResourceItem::staticMetaObject);
    const PTypeInfo control = ClassTypeInfo(&TDialogResourceItemControl::staticMetaObject);
    const PTypeInfo dialog = ClassTypeInfo(&TDialogResourceItem::staticMetaObject);
    const PTypeInfo cardinal = TypeInfo<uint>();
    RegisterPropertyEditor(identifier, item, QStringLiteral("Menu"), TResourceMenuProperty::ClassInfo());
    RegisterPropertyEditor(identifier, control, QStringLiteral("Bitmap"), TResourceDialogStaticBitmapProperty::ClassInfo());
    RegisterPropertyEditor(identifier, control, QStringLiteral("Icon"), TResourceDialogStaticIconProperty::ClassInfo());
    for (PTypeInfo owner : {control, dialog})
        for (const char* name : {"Style", "ExStyle"})
            RegisterPropertyEditor(cardinal, owner, QString::fromLatin1(name), THexDWordValueProperty::ClassInfo());
}
