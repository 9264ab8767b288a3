#include "koResourceModuleRCVersionInfoWriter.h"

#include "koResourceItemVersionInfo.h"
#include "platform/Format.h"

#include <algorithm>
#include <vector>

int TVersionInfoStringComparer::Compare(const TVersionInfoString* A, const TVersionInfoString* B)
{
    const int language = int(A->Language()) - int(B->Language());
    return language != 0 ? language : int(A->Charset()) - int(B->Charset());
}

bool TRCItemVersionInfoWriter::Handles(TCustomResourceItem* Item)
{
    return qobject_cast<TVersionResourceItem*>(Item) != nullptr;
}

void TRCItemVersionInfoWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* version = qobject_cast<TVersionResourceItem*>(Item);
    auto hex = [](uint32_t value) -> QString { return QString::number(value, 16).toUpper() + QLatin1Char('L'); };
    WriteItem(Encoder, Item);
    BeginBlock(nullptr);
    WriteLine(Encoder, QStringLiteral("FILEVERSION ") + VersionToStr(version->FileVersion(), QLatin1Char(',')));
    WriteLine(Encoder, QStringLiteral("PRODUCTVERSION ") + VersionToStr(version->ProductVersion(), QLatin1Char(',')));
    WriteLine(Encoder, QStringLiteral("FILEFLAGSMASK 0x") + hex(0x3F));
    WriteLine(Encoder, QStringLiteral("FILEFLAGS 0x") + hex(uint32_t(version->FileFlags().Bits())));
    WriteLine(Encoder, QStringLiteral("FILEOS 0x") + hex(version->FileOS()));
    WriteLine(Encoder, QStringLiteral("FILETYPE 0x") + hex(uint32_t(version->FileType()) & 0x7F));
    WriteLine(Encoder, QStringLiteral("FILESUBTYPE 0x") + hex(version->FileSubType()));
    EndBlock(nullptr);
    BeginBlock(&Encoder);

    const TVersionInfoStringList& list = *version->Strings();
    if (list.Count() > 0) {
        WriteText(Encoder, QStringLiteral("BLOCK \"StringFileInfo\" "));
        WriteLine(Encoder, QStringLiteral("BEGIN"), false);
        BeginBlock(nullptr);
        std::vector<const TVersionInfoString*> strings;
        strings.reserve(list.Count());
        for (int i = 0; i < list.Count(); ++i) strings.push_back(list[i]);
        // Stable, so the values of a translation keep their order.
        std::stable_sort(strings.begin(), strings.end(), TVersionInfoStringComparer());
        for (size_t i = 0; i < strings.size(); ++i) {
            const TVersionInfoString* string = strings[i];
            if (i == 0 || TVersionInfoStringComparer::Compare(strings[i - 1], string) != 0) {
                if (i > 0) EndBlock(&Encoder);
                WriteText(Encoder, QStringLiteral("BLOCK \"%1%2\" ")
                                       .arg(string->Language(), 4, 16, QLatin1Char('0'))
                                       .arg(string->Charset(), 4, 16, QLatin1Char('0'))
                                       .toUpper());
                WriteLine(Encoder, QStringLiteral("BEGIN"), false);
                BeginBlock(nullptr);
            }
            // The key is escaped too: a quote in it would end the literal early.
            WriteLine(Encoder, QStringLiteral("VALUE ") + Encoder.Escape(string->Key(), true) + QStringLiteral(", ")
                                   + Encoder.Escape(string->Value(), true));
        }
        EndBlock(&Encoder);
        EndBlock(&Encoder);
    }

    const TVersionInfoTranslationList& translations = *version->Translations();
    if (translations.Count() > 0) {
        WriteText(Encoder, QStringLiteral("BLOCK \"VarFileInfo\" "));
        WriteLine(Encoder, QStringLiteral("BEGIN"), false);
        BeginBlock(nullptr);
        auto pair = [&](int i) -> QString {
            return QStringLiteral("0x%1, %2")
                .arg(QString::number(translations.LanguageID(i), 16).rightJustified(4, QLatin1Char('0')).toUpper())
                .arg(translations.CharsetID(i));
        };
        auto comment = [&](int i) -> QString { return QStringLiteral(" // ") + translations.LanguageName(i); };
        if (translations.Count() == 1) {
            WriteLine(Encoder, QStringLiteral("VALUE \"Translation\", ") + pair(0) + comment(0));
        } else {
            // One VALUE holds every pair: a compiler refuses a second Translation line.
            WriteLine(Encoder, QStringLiteral("VALUE \"Translation\","));
            BeginBlock(nullptr);
            for (int i = 0; i < translations.Count(); ++i)
                WriteLine(Encoder, pair(i) + (i + 1 < translations.Count() ? QStringLiteral(",") : QString()) + comment(i));
            EndBlock(nullptr);
        }
        EndBlock(&Encoder);
    }
    EndBlock(&Encoder);
    WriteLine(Encoder, QString(), false);
}

void koResourceModuleRCVersionInfoWriter_Initialize() { TRCItemVersionInfoWriter::ClassInfo()->Register(0); }

void koResourceModuleRCVersionInfoWriter_Finalize() { TRCItemVersionInfoWriter::ClassInfo()->Unregister(); }
