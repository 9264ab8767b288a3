// The preview of last resort: any item's data as a read-only hex dump.
#pragma once

#include "shell/koResourceView.h"

#include <memory>

class THexDump;
class TMemoryStream;

class TGenericResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TGenericResourceItemView(QWidget* Parent = nullptr);
    ~TGenericResourceItemView() override;
    QString GetCaption() override;
    THexDump* HexDump() const { return FHexDump; }

protected:
    void LoadView() override;

private:
    // The snapshot of the item's data that the dump shows.
    std::unique_ptr<TMemoryStream> FData;
    THexDump* FHexDump; // owned as a child widget
};

class TGenericResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TGenericResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // Any data; only items that can hand over their data are asked.
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return true; }
    static IResourceItemViewPtr CreateView();
};

// Shows a snapshot of the item's data, taken into Data, in the colours of the raw-data frames.
void LoadHexDumpFromItem(THexDump* Dump, TCustomResourceItem* Item, TMemoryStream& Data, const QColor& FrameColor);

void koResourceViewGeneric_Initialize();
void koResourceViewGeneric_Finalize();
