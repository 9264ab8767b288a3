#include "AtelierImagePropertyEditors.h"

#include "designer/koDesignDialogs.h"
#include "designer/koDesignInterface.h"
#include "kinds/koResourceItemImage.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"

#include <QMessageBox>

namespace {
const char* const SColorDepthBits = "%d bits";
const char* const SFeatureNotImplemented =
    "Feature not implemented\r\r"
    "This should be replaced with a dialog which enables the user to\r"
    "resize the bitmap. I.e. change both the width and height at the\r"
    "same time and optionally resample the bitmap while doing so.";

QString DepthText(int Depth) { return Format(QString::fromLatin1(SColorDepthBits), {Depth}); }

TColorDepths SupportedDepths(TCustomResourceItem* Item)
{
    auto* graphic = qobject_cast<TCustomGraphicResourceItem*>(Item);
    return graphic ? graphic->SupportedColorDepths() : TColorDepths{};
}
} // namespace

TRunTimePropertyAttributes TResourceItemColorDepthProperty::GetAttributes() { return {paValueList}; }

QString TResourceItemColorDepthProperty::GetValue() { return DepthText(int(GetOrdValue())); }

void TResourceItemColorDepthProperty::GetValues(QStringList& Values)
{
    const TColorDepths supported = SupportedDepths(GetResourceItem());
    for (int depth = 1; depth <= 32; ++depth)
        if (supported.Contains(depth)) Values << DepthText(depth);
}

void TResourceItemColorDepthProperty::SetValue(const QString& Value)
{
    const TColorDepths supported = SupportedDepths(GetResourceItem());
    for (int depth = 1; depth <= 32; ++depth)
        if (SameText(DepthText(depth), Value)) {
            if (supported.Contains(depth)) SetOrdValue(depth);
            return;
        }
    int32_t number = 0;
    if (TryStrToInt(Value, number) && supported.Contains(number & 0xFF)) SetOrdValue(number & 0xFF);
}

TRunTimePropertyAttributes TResourceItemImageSizeProperty::GetAttributes() { return {paDialog}; }

QString TResourceItemImageSizeProperty::GetValue() { return TRunTimePropertyEditor::GetValue(); }

void TResourceItemImageSizeProperty::SetValue(const QString& Value) { TRunTimePropertyEditor::SetValue(Value); }

void TResourceItemImageSizeProperty::Edit()
{
    QString text = QString::fromLatin1(SFeatureNotImplemented);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Information, QString(), text, QMessageBox::Ok, ObjectInspector()->InspectorWidget());
    DesignDialogs().ExecuteModal(box);
}

void RegisterImagePropertyEditors()
{
    const PTypeInfo graphic = ClassTypeInfo(&TCustomGraphicResourceItem::staticMetaObject);
    // The depth is published as a plain integer, so its caption tells it from the other integers.
    RegisterPropertyEditor(TypeInfo<int>(), graphic, QStringLiteral("Color Depth"),
                           TResourceItemColorDepthProperty::ClassInfo());
    RegisterPropertyEditor(TypeInfo<int>(), graphic, QStringLiteral("Width"), TResourceItemImageSizeProperty::ClassInfo());
    RegisterPropertyEditor(TypeInfo<int>(), graphic, QStringLiteral("Height"), TResourceItemImageSizeProperty::ClassInfo());
}
