#include "koAtelierBinary.h"

#include "platform/Streams.h"
#include "platform/UpdateGuard.h"
#include "views/HexDump.h"
#include "views/koResourceViewGeneric.h"

#include <QFontDatabase>
#include <algorithm>
#include <climits>

TFrameAtelierBinary::TFrameAtelierBinary(QWidget* Parent)
    : TCustomResourceItemEditor(Parent), FData(std::make_unique<TMemoryStream>())
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
    LoadHexDumpFromItem(FHexDump, ResourceItem(), *FData, palette().color(QPalette::Window));
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
