// Menus in RC scripts: a MENUEX statement with POPUP and MENUITEM lines.
#pragma once

#include "koResourceItemMenu.h"
#include "model/koResourceModuleRC.h"

class TRCItemMenuWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemMenuWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;

private:
    void WriteMenuItems(TRCEncoder& Encoder, TResourceMenuItems* Items);
};

void koResourceModuleRCMenuWriter_Initialize();
void koResourceModuleRCMenuWriter_Finalize();
