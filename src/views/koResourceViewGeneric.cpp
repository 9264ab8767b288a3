#include "koResourceViewGeneric.h"

#include "HexDump.h"
#include "platform/Streams.h"

#include <QFontDatabase>
#include <algorithm>
#include <climits>

TGenericResourceItemView::TGenericResourceItemView(QWidget* Parent)
    : TCustomResourceItemView(Parent), FData(std::make_unique<TMemoryStream>())
{
    QFont frameFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    frameFont.setPixelSize(11);
    setFont(frameFont);
    FHexDump = CreateHexDump(this);
    FHexDump->setFont(font());
    FHexDump->SetBorder(bsNone);
    FHexDump->SetReadOnly(true);
    FHexDump->hide();
}

TGenericResourceItemView::~TGenericResourceItemView()
{
    // The dump lets go of the buffer before the buffer goes.
    FHexDump->hide();
    FHexDump->SetDataSize(0);
    FHexDump->SetAddress(nullptr);
    FData->Clear();
}

QString TGenericResourceItemView::GetCaption() { return QStringLiteral("Binary data"); }

void TGenericResourceItemView::LoadView()
{
    // Writing into the buffer moves its memory: the dump must not point into it meanwhile, also when
    // the item fails to write.
    FHexDump->SetDataSize(0);
    FHexDump->SetAddress(nullptr);
    FData->Clear();
    if (ResourceItem()) ResourceItem()->SaveToStream(*FData);
    // The dump is read-only: it never writes through the pointer.
    FHexDump->SetAddress(const_cast<uint8_t*>(FData->Memory()));
    FHexDump->SetDataSize(static_cast<int32_t>(std::min<int64_t>(FData->Size(), INT32_MAX)));
    FHexDump->SetCurrentLine(0);
    FHexDump->SetAddressColor(QColor(0x00, 0x00, 0x80));
    FHexDump->SetAddressBackgroundColor(palette().color(QPalette::Window));
    FHexDump->SetHexDataColor(QColor(0x00, 0x00, 0x00));
    FHexDump->SetHexDataBackgroundColor(QColor(0xF4, 0xF4, 0xF4));
    FHexDump->SetHexDataBackgroundColorOdd(QColor(0xFF, 0xFF, 0xFF));
    FHexDump->SetAnsiCharColor(QColor(0x00, 0x00, 0xFF));
    FHexDump->SetAnsiCharBackgroundColor(palette().color(QPalette::Window));
    FHexDump->SetLeftDividerColor(QColor(0xC0, 0xC0, 0xC0));
    FHexDump->SetRightDividerColor(QColor(0xC0, 0xC0, 0xC0));
    FHexDump->show();
}

IResourceItemViewPtr TGenericResourceItemViewFactory::CreateView() { return std::make_shared<TGenericResourceItemView>(); }

void koResourceViewGeneric_Initialize() { TGenericResourceItemViewFactory::ClassInfo()->Register(1024); }

void koResourceViewGeneric_Finalize() { TGenericResourceItemViewFactory::ClassInfo()->Unregister(); }
