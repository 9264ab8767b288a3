#include "koAtelierBinary.h"

#include "platform/Streams.h"
#include "platform/UpdateGuard.h"
#include "views/HexDump.h"

#include <QFontDatabase>
#include <algorithm>
#include <climits>

// A memory stream whose bytes the dump may overwrite in place.
class TBinaryEditBuffer : public TMemoryStream {
public:
    uint8_t* WritableMemory() { return FMemory; }
};

TFrameAtelierBinary::TFrameAtelierBinary(QWidget* Parent)
    : TCustomResourceItemEditor(Parent), FData(std::make_unique<TBinaryEditBuffer>())
{
    QFont frameFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    frameFont.setPixelSize(13);
    setFont(frameFont);
    FHexDump = CreateHexDump(this);
    FHexDump->setFont(font());
    FHexDump->SetBorder(bsNone);
    FHexDump->hide();
    FHexDump->OnChanged = [this] { DataChanged(); };
}

TFrameAtelierBinary::~TFrameAtelierBinary()
{
    FHexDump->OnChanged = nullptr;
    FHexDump->SetDataSize(0);
    FHexDump->SetAddress(nullptr);
}

QString TFrameAtelierBinary::GetCaption() { return QStringLiteral("Binary data"); }

void TFrameAtelierBinary::SetResourceItem(TCustomResourceItem* Item)
{
    TCustomResourceItemEditor::SetResourceItem(Item);
    LoadData();
}

void TFrameAtelierBinary::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    TCustomResourceItemEditor::ResourceItemNotification(Item, Notification);
    if (Item && Item == ResourceItem() && Notification == rnChanged && !FSaving) LoadData();
}

void TFrameAtelierBinary::LoadData()
{
    // Writing into the buffer moves its memory: the dump must not point into it meanwhile, also when
    // the item fails to write.
    FHexDump->SetDataSize(0);
    FHexDump->SetAddress(nullptr);
    FData->Clear();
    if (ResourceItem()) ResourceItem()->SaveToStream(*FData);
    FHexDump->SetAddress(FData->WritableMemory());
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
    FHexDump->SetNonprintableReplacement(QChar(0x2219));
    FHexDump->show();
}

void TFrameAtelierBinary::DataChanged() { SaveData(); }

void TFrameAtelierBinary::SaveData()
{
    // The item may have gone while the editor is still shown.
    if (!ResourceItem()) return;
    FSaving = true;
    TFinally saved([this] { FSaving = false; });
    FData->SetPosition(0);
    ResourceItem()->LoadFromStream(*FData, FData->Size());
}

bool TBinaryResourceItemEditorFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return ResourceItem && ResourceItem->ClassType()->Capabilities().Contains(rcWrite);
}

IResourceItemEditorPtr TBinaryResourceItemEditorFactory::CreateEditor() { return std::make_shared<TFrameAtelierBinary>(); }

void koAtelierBinary_Initialize() { TBinaryResourceItemEditorFactory::ClassInfo()->Register(1024); }

void koAtelierBinary_Finalize() { TBinaryResourceItemEditorFactory::ClassInfo()->Unregister(); }
