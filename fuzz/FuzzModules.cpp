#include "FuzzModules.h"

#include "FuzzCommon.h"

#include "kinds/koResourceItemString.h"
#include "model/koResources.h"
#include "model/koResourcesModule.h"

TItemCensus ItemCensus(TCustomResourceModule* Module)
{
    TItemCensus census;
    for (int i = 0; i < Module->Items()->Count(); ++i) {
        TCustomResourceItem* item = Module->Items()->Items(i);
        // Only what writers write: not internal or design-time items, nor kinds that cannot be written.
        if (item->Internal() || item->Design() || !item->ClassType()->Capabilities().Contains(rcWrite)) continue;
        // String tables are compared string by string: a table without strings has nothing to save.
        if (item->ResourceType() == TResourceIdent::FromOrdinal(RT_STRING)) continue;
        ++census[{ResourceIdentToString(item->ResourceType()), ResourceIdentToString(item->Name()), item->Language()}];
    }
    return census;
}

TStringCensus StringCensus(TCustomResourceModule* Module)
{
    TStringCensus census;
    for (int i = 0; i < Module->Items()->Count(); ++i) {
        auto* table = qobject_cast<TStringListResourceItem*>(Module->Items()->Items(i));
        if (!table) continue;
        for (int k = 0; k < table->Strings()->Count(); ++k) {
            const TResourceStringsString* string = table->Strings()->Items(k);
            // A block cannot tell an empty string from a missing one.
            if (string->Value().isEmpty()) continue;
            census[{table->Language(), string->IDValue()}] = string->Value();
        }
    }
    return census;
}

namespace {
QString Describe(const TItemCensus::key_type& key)
{
    return QStringLiteral("%1 %2 (language %3)").arg(std::get<1>(key), std::get<0>(key)).arg(std::get<2>(key), 4, 16, QLatin1Char('0'));
}
} // namespace

void CheckSameItems(TCustomResourceModule* Before, TCustomResourceModule* After, const char* What)
{
    const TItemCensus before = ItemCensus(Before), after = ItemCensus(After);
    for (const auto& [key, count] : before) {
        const auto found = after.find(key);
        const int saved = found == after.end() ? 0 : found->second;
        if (saved != count)
            FuzzFinding(QStringLiteral("%1: %2 held %3 times, read back %4 times after the save")
                            .arg(QLatin1String(What), Describe(key)).arg(count).arg(saved));
    }
    for (const auto& [key, count] : after)
        if (!before.count(key))
            FuzzFinding(QStringLiteral("%1: %2 appeared in the save").arg(QLatin1String(What), Describe(key)));
    const TStringCensus strings = StringCensus(Before), savedStrings = StringCensus(After);
    for (const auto& [key, text] : strings) {
        const auto found = savedStrings.find(key);
        if (found == savedStrings.end() || found->second != text)
            FuzzFinding(QStringLiteral("%1: string %2 (language %3) read back %4 after the save")
                            .arg(QLatin1String(What)).arg(key.second).arg(key.first, 4, 16, QLatin1Char('0'))
                            .arg(found == savedStrings.end() ? QStringLiteral("missing") : QStringLiteral("changed")));
    }
    if (savedStrings.size() != strings.size())
        FuzzFinding(QStringLiteral("%1: strings appeared in the save").arg(QLatin1String(What)));
}
