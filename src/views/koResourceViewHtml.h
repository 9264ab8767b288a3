// The preview of HTML resources and web archives (MHT): the page rendered from memory. The parts of
// an archive (pictures, style sheets) are served from the archive itself; nothing is fetched from the
// network or read from disk.
#pragma once

#include "MhtReader.h"
#include "shell/koResourceView.h"

#include <QTextBrowser>
#include <optional>

// The page and what it may load. Only the parts of the archive on show can be loaded.
class THtmlBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit THtmlBrowser(QWidget* Parent = nullptr);
    // A page without parts; then an archive's page with its parts. Empty data gives a blank page.
    void ShowHtml(const QByteArray& Html);
    void ShowArchive(TMhtArchive Archive);
    void Clear();
    QVariant loadResource(int Type, const QUrl& Name) override;

private:
    // The part a URL of the page names: by Content-ID for "cid:", else by location, relative to the
    // page's own location.
    const TMhtPart* FindPart(const QUrl& Name) const;
    std::optional<TMhtArchive> FArchive;
};

// The text of HTML bytes: the charset named (from the archive's headers), else a byte-order mark or a
// <meta> charset, else the ANSI code page.
QString DecodeHtmlBytes(const QByteArray& Bytes, const QByteArray& Charset = {});

class THtmlResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit THtmlResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override { return QStringLiteral("HTML"); }

    QWidget* PanelError;
    QLabel* ImageError;
    QLabel* LabelError;
    THtmlBrowser* Browser;

protected:
    void LoadView() override;
};

class THtmlResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(THtmlResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // Data whose first 1024 bytes hold "<html" or "Content-Type: text/html".
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewHtml_Initialize();
void koResourceViewHtml_Finalize();
