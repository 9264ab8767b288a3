// Menu templates, standard and extended: what loads saves as an extended template that reads back as
// the same menu and saves again to the same bytes.
#include "FuzzCommon.h"

#include "kinds/koResourceItemMenu.h"
#include "platform/Streams.h"

namespace {
void Dump(TResourceMenuItems* Items, QString& Text)
{
    for (int i = 0; i < Items->Count(); ++i) {
        TResourceMenuItem* item = Items->Items(i);
        Text += QStringLiteral("%1|%2|%3|%4|%5|").arg(item->Text()).arg(item->ID()->OrdinalValue()).arg(item->MenuType()).arg(item->State())
                    .arg(item->HasSubItems() ? item->HelpID()->OrdinalValue() : 0u);
        if (item->HasSubItems()) {
            Text += QLatin1Char('{');
            Dump(item->Items(), Text);
            Text += QLatin1Char('}');
        }
    }
}

QString Dump(TMenuResourceItem& Menu)
{
    QString text = QString::number(Menu.HelpID()) + QLatin1Char(':');
    Dump(Menu.Items(), text);
    return text;
}

QByteArray Save(TMenuResourceItem& Menu)
{
    TMemoryStream out;
    Menu.SaveToStream(out);
    return out.ToByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        const QByteArray bytes = FuzzBytes(data, size);
        TMenuResourceItem menu(TResourceIdent::FromOrdinal(1));
        TBytesStream stream(bytes);
        menu.LoadFromStream(stream, bytes.size());
        const QByteArray saved = Save(menu);
        TMenuResourceItem again(TResourceIdent::FromOrdinal(1));
        TBytesStream savedStream(saved);
        again.LoadFromStream(savedStream, saved.size());
        if (Dump(again) != Dump(menu)) FuzzFinding(QStringLiteral("the saved menu reads back as another menu"));
        if (Save(again) != saved) FuzzFinding(QStringLiteral("a saved menu saves again to other bytes"));
    });
    return 0;
}
