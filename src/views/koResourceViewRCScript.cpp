#include "koResourceViewRCScript.h"

#include "model/koResourceModuleRC.h"
#include "model/koResources.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QTextEdit>

namespace {
const char* const SNoRCWriter = "No registered RC writer was able to handle the %s (%s) resource item";
}

TRcScriptResourceItemView::TRcScriptResourceItemView(QWidget* Parent) : TTextResourceItemView(Parent)
{
    EditText->setFont(TextViewFont(QStringLiteral("Courier New"), 8, QFont::Monospace));
}

void TRcScriptResourceItemView::LoadView()
{
    if (FLoading) return;
    FLoading = true;
    TFinally done([this] { FLoading = false; });
    PanelError->hide();
    EditText->clear();
    TCustomResourceItem* item = ResourceItem();
    if (!item) return;
    while (item->Parent()) item = item->Parent();
    const TRCItemWriterClass writerClass = RCItemWriterDatabase()->Find(item);
    if (!writerClass)
        throw Exception(Format(QString::fromUtf8(SNoRCWriter), {item->FriendlyName(), item->FriendlyTypeName()}));
    const std::unique_ptr<TCustomRCItemWriter> writer = writerClass->Create(QString());
    TMemoryStream stream;
    TRCUnicodeEncoder encoder(stream);
    {
        // Writers name the file an item without one would be saved to; a preview leaves the item as it was.
        const QString fileName = item->Filename();
        TFinally keepFileName([item, &fileName] {
            if (item->Filename() == fileName) return;
            item->LockUpdate();
            TFinally unlock([item] { item->UnlockUpdate(); });
            item->SetFilename(fileName);
        });
        writer->SaveToStream(encoder, item, false);
    }
    // The encoder wrote UTF-16 itself: read as such, a control character in a caption stays text.
    ShowText(CodePageToUnicode(stream.ToByteArray(), CP_UTF16));
}

bool TRcScriptResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem) { return !ResourceItem->Internal(); }

IResourceItemViewPtr TRcScriptResourceItemViewFactory::CreateView()
{
    return std::make_shared<TRcScriptResourceItemView>();
}

void koResourceViewRCScript_Initialize()
{
    TResourceItemViewFactoryClass factory = TRcScriptResourceItemViewFactory::ClassInfo();
    factory->Register(TResourceIdent::FromOrdinal(RT_DIALOG), {}, 255);
    factory->Register(1025);
}

void koResourceViewRCScript_Finalize() { TRcScriptResourceItemViewFactory::ClassInfo()->Unregister(); }
