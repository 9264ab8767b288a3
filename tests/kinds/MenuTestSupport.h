// What the menu tests share: menus as text to compare models, records of RES files, the message log.
#pragma once

#include "kinds/koResourceItemMenu.h"
#include "model/LogCapture.h"
#include "model/koResources.h"
#include "model/koResourcesMessages.h"
#include "platform/Streams.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// One line per entry, indented by level: text, ID, help ID, type, state and whether it holds entries.
// Bytes differ between templates of one menu; this does not.
inline void DumpMenuItems(TResourceMenuItems* Items, int Level, QStringList& Lines)
{
    for (int i = 0; i < Items->Count(); ++i) {
        TResourceMenuItem* item = Items->Items(i);
        Lines << QStringLiteral("%1\"%2\" id=%3 help=%4 type=%5 state=%6%7")
                     .arg(QString(2 * Level, QLatin1Char(' ')), item->Text())
                     .arg(item->ID()->OrdinalValue())
                     .arg(item->HasSubItems() ? item->HelpID()->OrdinalValue() : 0u)
                     .arg(item->MenuType(), 0, 16)
                     .arg(item->State(), 0, 16)
                     .arg(item->HasSubItems() ? QStringLiteral(" {") : QString());
        if (item->HasSubItems()) {
            DumpMenuItems(item->Items(), Level + 1, Lines);
            Lines << QString(2 * Level, QLatin1Char(' ')) + QLatin1Char('}');
        }
    }
}

// The menu's own help ID is left out when WithHelpID is false (a script has no place for it).
inline QString DumpMenu(TMenuResourceItem* Menu, bool WithHelpID = true)
{
    QStringList lines;
    if (WithHelpID) lines << QStringLiteral("help=%1").arg(Menu->HelpID());
    DumpMenuItems(Menu->Items(), 0, lines);
    return lines.join(QLatin1Char('\n'));
}

inline std::unique_ptr<TMenuResourceItem> LoadMenu(const QByteArray& Bytes)
{
    auto menu = std::make_unique<TMenuResourceItem>(TResourceIdent::FromOrdinal(1));
    TBytesStream data(Bytes);
    menu->LoadFromStream(data, Bytes.size());
    return menu;
}

inline QByteArray SaveMenu(TMenuResourceItem* Menu)
{
    TMemoryStream out;
    Menu->SaveToStream(out);
    return out.ToByteArray();
}

