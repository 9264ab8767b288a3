// The buttons of the Variants and Frames panes and the lists that own them.
#pragma once

#include "koFancyGlyphButton.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesMessages.h"

#include <QPointer>
#include <vector>

class TResourceItemButton : public TCustomFancyGlyphButton, public IResourceItemNotification {
    Q_OBJECT

public:
    explicit TResourceItemButton(QWidget* Owner = nullptr);
    ~TResourceItemButton() override;
    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    void SetResourceItem(TCustomResourceItem* Value);
    // The line under the button in the Variants pane; owned by the button.
    QWidget* Divider() const { return FDivider; }
    void SetDivider(QWidget* Value) { FDivider = Value; }
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

protected:
    void UpdateGlyph(QImage& Glyph, QString& Title, QString& Description) override;

private:
    TCustomResourceItem* FResourceItem = nullptr;
    QPointer<QWidget> FDivider;
};

// The thumbnail size for a picture of Width x Height.
QSize ResourceButtonThumbnailSize(int Width, int Height);

class TResourceButtonList {
public:
    ~TResourceButtonList() { Clear(); }
    void Add(TResourceItemButton* Button) { FList.push_back(Button); }
    void Remove(TResourceItemButton* Button);
    void Delete(int Index);
    int IndexOf(const TResourceItemButton* Button) const;
    // Searches from the last button to the first; -1 when absent.
    int IndexOfItem(const TCustomResourceItem* Item) const;
    void Move(int OldIndex, int NewIndex);
    void Clear();
    int Count() const { return static_cast<int>(FList.size()); }
    TResourceItemButton* operator[](int Index) const { return FList.at(Index); }

private:
    std::vector<TResourceItemButton*> FList; // owned
};
