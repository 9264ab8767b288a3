// The editor of last resort: any writable item's data as an editable hex dump, every typed byte written
// straight back into the item.
#pragma once

#include "shell/koAtelier.h"

#include <memory>

class THexDump;
class TMemoryStream;

class TFrameAtelierBinary : public TCustomResourceItemEditor {
    Q_OBJECT

public:
    explicit TFrameAtelierBinary(QWidget* Parent = nullptr);
    ~TFrameAtelierBinary() override;
    void SetResourceItem(TCustomResourceItem* Item) override;
    QString GetCaption() override;
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;
    THexDump* HexDump() const { return FHexDump; }

private:
    void LoadData();
    void SaveData();
    void DataChanged();

    // The buffer the user edits.
    std::unique_ptr<TMemoryStream> FData;
    THexDump* FHexDump; // owned as a child widget
    // Set while the buffer is written into the item, so that its own change does not reload it.
    bool FSaving = false;
};

class TBinaryResourceItemEditorFactory {
    RESOURCE_EDITOR_FACTORY_CLASS(TBinaryResourceItemEditorFactory, TCustomResourceItemEditorFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemEditorPtr CreateEditor();
};

void koAtelierBinary_Initialize();
void koAtelierBinary_Finalize();
