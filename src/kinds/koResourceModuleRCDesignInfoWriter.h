// Design information in RC scripts: a DESIGNINFO statement inside its own APSTUDIO_INVOKED section,
// one block per described resource that the module still holds.
#pragma once

#include "model/koResourceModuleRC.h"

class TRCItemDesignInfoWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemDesignInfoWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;
};

void koResourceModuleRCDesignInfoWriter_Initialize();
void koResourceModuleRCDesignInfoWriter_Finalize();
