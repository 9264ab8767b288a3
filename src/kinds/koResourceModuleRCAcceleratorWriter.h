// Accelerator tables in RC scripts: one ACCELERATORS statement per table, one line per entry with the
// key's text in a comment.
#pragma once

#include "model/koResourceModuleRC.h"

class TAcceleratorItem;

class TRCItemAcceleratorWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemAcceleratorWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item) override;
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;

private:
    QString KeyText(TAcceleratorItem* Entry, TCustomResourceModule* Module) const;
};

void koResourceModuleRCAcceleratorWriter_Initialize();
void koResourceModuleRCAcceleratorWriter_Finalize();
