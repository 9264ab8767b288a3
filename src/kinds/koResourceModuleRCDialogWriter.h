// Dialogs in RC scripts: one DIALOGEX statement with a CONTROL line per control.
#pragma once

#include "model/koResourceModuleRC.h"

class TDialogResourceItem;
class TDialogResourceItemControl;

class TRCItemDialogWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemDialogWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item) override;
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;

private:
    void WriteDialogStatements(TRCEncoder& Encoder, TDialogResourceItem* Dialog);
    void WriteControl(TRCEncoder& Encoder, TDialogResourceItemControl* Control);
    QString DialogStyleText(TDialogResourceItem* Dialog) const;
    QString ControlStyleText(TDialogResourceItemControl* Control) const;
};

void koResourceModuleRCDialogWriter_Initialize();
void koResourceModuleRCDialogWriter_Finalize();
