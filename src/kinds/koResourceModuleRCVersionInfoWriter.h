// Version information in RC scripts: one VERSIONINFO statement.
#pragma once

#include "model/koResourceModuleRC.h"

class TVersionInfoString;

// Orders strings by language, then character set.
struct TVersionInfoStringComparer {
    static int Compare(const TVersionInfoString* A, const TVersionInfoString* B);
    bool operator()(const TVersionInfoString* A, const TVersionInfoString* B) const { return Compare(A, B) < 0; }
};

class TRCItemVersionInfoWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemVersionInfoWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;
};

void koResourceModuleRCVersionInfoWriter_Initialize();
void koResourceModuleRCVersionInfoWriter_Finalize();
