#include "koResourceModuleRCStringTableWriter.h"

#include "koResourceItemString.h"
#include "platform/Exceptions.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

namespace {
const int IDColumn = 30;
}

// Only the merged tables: a string resource kept as raw data (a block that could not be merged, a text
// name) is written by the writers of raw data.
bool TRCItemStringTableWriter::Handles(TCustomResourceItem* Item)
{
    return qobject_cast<TStringListResourceItem*>(Item) != nullptr;
}

void TRCItemStringTableWriter::WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item)
{
    WriteOptionalStatements(Encoder, Item);
}

void TRCItemStringTableWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool)
{
    auto* table = qobject_cast<TStringListResourceItem*>(Item);
    if (!table) throw EInvalidOperation(QStringLiteral("Only string tables are written as STRINGTABLE statements."));
    // Empty strings without a symbol are no strings.
    std::vector<TResourceStringsString*> strings;
    for (int i = 0; i < table->Strings()->Count(); ++i) {
        TResourceStringsString* string = table->Strings()->Items(i);
        if (!string->Value().isEmpty() || string->ID()->Symbol()) strings.push_back(string);
    }
    std::stable_sort(strings.begin(), strings.end(), [](const TResourceStringsString* a, const TResourceStringsString* b) {
        return a->IDValue() < b->IDValue();
    });
    int64_t block = -1;
    for (TResourceStringsString* string : strings) {
        const int64_t stringBlock = string->IDValue() >> 4;
        if (stringBlock != block) {
            if (block >= 0) {
                EndBlock(&Encoder);
                WriteLine(Encoder, QString(), false);
            }
            // The header is the keyword alone: a statement of strings takes no file name.
            WriteLine(Encoder, GetItemType(Item), false);
            BeginBlock(nullptr);
            {
                TFinally level([this] { EndBlock(nullptr); });
                WriteItemBody(Encoder, Item);
            }
            BeginBlock(&Encoder);
            block = stringBlock;
        }
        WriteLine(Encoder, PadText(string->DisplayName(), IDColumn) + Encoder.Escape(string->Value(), true));
    }
    if (block >= 0) {
        EndBlock(&Encoder);
        WriteLine(Encoder, QString(), false);
    }
}

void koResourceModuleRCStringTableWriter_Initialize() { TRCItemStringTableWriter::ClassInfo()->Register(0); }

void koResourceModuleRCStringTableWriter_Finalize() { TRCItemStringTableWriter::ClassInfo()->Unregister(); }
