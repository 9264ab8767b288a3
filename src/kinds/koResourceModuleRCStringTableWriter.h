// String tables in RC scripts: one STRINGTABLE statement per block of 16 IDs.
#pragma once

#include "model/koResourceModuleRC.h"

class TRCItemStringTableWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemStringTableWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    // Every string resource: raw ones go out as raw data. A STRINGTABLE statement has no name.
    QString GetItemName(TCustomResourceItem*) override { return {}; }
    void WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item) override;
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;
};

void koResourceModuleRCStringTableWriter_Initialize();
void koResourceModuleRCStringTableWriter_Finalize();
