// The preview of fonts: installs the font for this process only, from memory, and sets a sample text in
// it, with a choice of typeface (each face and character set the font's tables name), size and sample.
#pragma once

#include "kinds/koResourceItemFont.h"
#include "shell/koResourceView.h"

#include <array>

class QAction;
class QActionGroup;
class QTextEdit;
class TDataModuleViewFont;

inline constexpr std::array<int, 17> FontSizes = {7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
// By TFontType.
extern const char* const FontTypeNames[8];
// A heading (no "=") starts a column of the drop-down; "caption=text" is a sample; "*" marks the one
// chosen at start.
extern const char* const FontSampleTexts[43];

// The size of the sample for an edit text: its number, 16 when it is none (or not above 0).
int FontSizeOfText(const QString& Text);
// The next smaller and larger entries of FontSizes (7 and 72 at the ends).
int SmallerFontSize(int Size);
int LargerFontSize(int Size);

class TFontResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TFontResourceItemView(QWidget* Parent = nullptr);
    ~TFontResourceItemView() override;
    // "Font", or "Font : <type>" with an item.
    QString GetCaption() override;

    // The installed font (-1: none), the faces its tables name and its type.
    int FontHandle() const { return FFontHandle; }
    const TLogFontList& LogFonts() const { return FLogFonts; }
    TFontType FontType() const { return FFontType; }
    TDataModuleViewFont* DataModule() const { return FDataModuleViewFont; }
    // The character set of the typeface on show.
    int SampleCharSet() const { return FSampleCharSet; }

    void SizeChanged();
    void DecreaseSize();
    void IncreaseSize();

    QWidget* PanelError;
    QLabel* ImageError;
    QLabel* LabelError;
    QTextEdit* EditSample;

protected:
    // Failures (data that is no font, tables outside the data) show in the error strip.
    void LoadView() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void DoLoadView();
    void RemoveFont();
    void BuildSampleMenu();
    void BuildTypefaceMenu();
    void SampleExecute(QAction* Action);
    void TypefaceExecute(QAction* Action);
    void ShowError(const QString& Message);

    int FFontHandle = -1;
    TLogFontList FLogFonts;
    TFontType FFontType = TFontType::ftUnknown;
    TDataModuleViewFont* FDataModuleViewFont = nullptr;
    QActionGroup* FSampleGroup = nullptr;
    QActionGroup* FTypefaceGroup = nullptr;
    int FSampleCharSet = 0;
};

class TFontResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TFontResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // RT_FONT with data, or data that starts with a TrueType or OpenType signature under any type.
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewFont_Initialize();
void koResourceViewFont_Finalize();
