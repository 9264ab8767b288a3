#include "koResourceItemIconCursor.h"

#include "kinds/koIconEncoder.h"
#include "platform/BinaryReader.h"
#include "platform/Streams.h"

std::unique_ptr<TIcon> ItemToIcon(TCustomResourceItem* Item, bool Icon)
{
    ATELIER_ASSERT(Item != nullptr);
    TMemoryStream data;
    Item->SaveToStream(data);
    QByteArray bytes = data.ToByteArray();
    QPoint hotspot;
    if (!Icon) {
        TBinaryReader reader(bytes);
        hotspot = QPoint(reader.U16(0, "cursor hot spot"), reader.U16(2, "cursor hot spot"));
        bytes.remove(0, 4);
    }
    auto icon = std::make_unique<TIcon>();
    icon->SetImage(DecodeIconImage(bytes), Icon, hotspot);
    return icon;
}

void koResourceItemIconCursor_Initialize() {}

void koResourceItemIconCursor_Finalize() {}
