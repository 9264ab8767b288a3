// Read-only previews of resources as text: plain text in the encoding its bytes show, and rich text
// (RTF) shown formatted.
#pragma once

#include "shell/koResourceView.h"

#include <QFont>

class QTextEdit;
class TStream;

enum TTextEncoding { teUnknown, teASCII, teAnsi, teUnicode, teUTF8 };

// The encoding of the bytes from the stream's start: ASCII, UTF-8, UTF-16 (with LF and CR), then ANSI;
// an empty stream is ASCII. teUnknown when none fits.
TTextEncoding DetectTextEncoding(TStream& Stream);
// The bytes as text of the encoding, without a byte-order mark of that encoding. Bytes above 127 are
// no 7-bit ASCII and become "?".
QString DecodeTextBytes(const QByteArray& Bytes, TTextEncoding Encoding);

// A font of the family when it is installed, else the system's font of the kind Hint names.
QFont TextViewFont(const QString& Family, int PointSize, QFont::StyleHint Hint);

class TCustomTextResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TCustomTextResourceItemView(QWidget* Parent = nullptr);
    // A reload that fails on a change shows its message in the strip: the change itself went through.
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

    QWidget* PanelError;
    QLabel* ImageError;
    QLabel* LabelError;
    QWidget* Panel2;
    QWidget* Panel1;
    QTextEdit* EditText;

protected:
    void LoadView() override;
    // Plain text, unwrapped.
    virtual void ShowText(const QString& Text);
    // The item's bytes from the stream's start as text; raises when they are no text this view reads.
    virtual void DecodeText(TStream& Stream, QString& Text) = 0;
    void ShowError(const QString& Message);
};

class TTextResourceItemView : public TCustomTextResourceItemView {
    Q_OBJECT

public:
    using TCustomTextResourceItemView::TCustomTextResourceItemView;
    QString GetCaption() override;
    TTextEncoding Encoding() const { return FEncoding; }

protected:
    // Raises "Unsupported text encoding" when no encoding fits.
    void DecodeText(TStream& Stream, QString& Text) override;

private:
    TTextEncoding FEncoding = teUnknown;
};

class TRichTextResourceItemView : public TCustomTextResourceItemView {
    Q_OBJECT

public:
    using TCustomTextResourceItemView::TCustomTextResourceItemView;
    QString GetCaption() override { return QStringLiteral("RTF text"); }

protected:
    void DecodeText(TStream& Stream, QString& Text) override;
    // The text read as RTF, wrapped at the edge.
    void ShowText(const QString& Text) override;
};

class TTextResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TTextResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // ASCII, UTF-16 with LF and CR, UTF-8 or ANSI text.
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

class TRichTextResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TRichTextResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // ASCII text that starts with "{\rtf".
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewText_Initialize();
void koResourceViewText_Finalize();
