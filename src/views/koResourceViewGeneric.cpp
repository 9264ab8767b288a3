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

void LoadHexDumpFromItem(THexDump* Dump, TCustomResourceItem* Item, TMemoryStream& Data, const QColor& FrameColor)
{
    // Writing into the buffer moves its memory: the dump must not point into it meanwhile, also when
    // the item fails to write.
    Dump->SetDataSize(0);
    Dump->SetAddress(nullptr);
    Data.Clear();
    if (Item) Item->SaveToStream(Data);
    Dump->SetAddress(const_cast<uint8_t*>(Data.Memory()));
    Dump->SetDataSize(static_cast<int32_t>(std::min<int64_t>(Data.Size(), INT32_MAX)));
    Dump->SetCurrentLine(0);
    Dump->SetAddressColor(QColor(0x00, 0x00, 0x80));
    Dump->SetAddressBackgroundColor(FrameColor);
    Dump->SetHexDataColor(QColor(0x00, 0x00, 0x00));
    Dump->SetHexDataBackgroundColor(QColor(0xF4, 0xF4, 0xF4));
    Dump->SetHexDataBackgroundColorOdd(QColor(0xFF, 0xFF, 0xFF));
    Dump->SetAnsiCharColor(QColor(0x00, 0x00, 0xFF));
    Dump->SetAnsiCharBackgroundColor(FrameColor);
    Dump->SetLeftDividerColor(QColor(0xC0, 0xC0, 0xC0));
    Dump->SetRightDividerColor(QColor(0xC0, 0xC0, 0xC0));
}

void TGenericResourceItemView::LoadView()
{
    // The dump is read-only: it never writes through the pointer.
    LoadHexDumpFromItem(FHexDump, ResourceItem(), *FData, palette().color(QPalette::Window));
    FHexDump->show();
}

IResourceItemViewPtr TGenericResourceItemViewFactory::CreateView() { return std::make_shared<TGenericResourceItemView>(); }

void koResourceViewGeneric_Initialize() { TGenericResourceItemViewFactory::ClassInfo()->Register(1024); }

void koResourceViewGeneric_Finalize() { TGenericResourceItemViewFactory::ClassInfo()->Unregister(); }
