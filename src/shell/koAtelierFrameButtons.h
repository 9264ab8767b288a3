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
    // The hint shows the whole title and language, which a narrow pane cuts short.
    bool event(QEvent* Event) override;

private:
    TCustomResourceItem* FResourceItem = nullptr;
    QPointer<QWidget> FDivider;
};

// The name a variant button gives a language: its display name, or "Language 0x0C1A" for an
// identifier the language table does not know.
QString VariantLanguageName(uint16_t LanguageID);
// The language identifier of the user's locale (QLocale's default), or -1 when the table has none.
int UserLanguageID();
// The variant shown first: the language-neutral one, else one in UserLanguage, else one in its
// primary language, else the first button's. Null for an empty list.
TCustomResourceItem* PreferredVariant(TResourceItemList* Items, int UserLanguage);

// The thumbnail size for a picture of Width x Height.
QSize ResourceButtonThumbnailSize(int Width, int Height);

class TResourceButtonList {
public:
    ~TResourceButtonList() { Clear(); }
    void Add(TResourceItemButton* Button) { FList.push_back(Button); }
    void Insert(int Index, TResourceItemButton* Button) { FList.insert(FList.begin() + Index, Button); }
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
