#include "koResourceModuleRCStringTableWriter.h"

#include "koResourceItemString.h"
#include "platform/Exceptions.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

namespace {
const int IDColumn = 30;
}

// The script writer keeps one item writer for a run of items of one type, so this one takes every
// string resource: the merged tables, and those kept as raw data (a block that could not be merged, a
// text name), which go out as raw data under the type's number.
bool TRCItemStringTableWriter::Handles(TCustomResourceItem* Item)
{
    return Item->ResourceType() == TResourceIdent::FromOrdinal(RT_STRING);
}

void TRCItemStringTableWriter::WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item)
{
    WriteOptionalStatements(Encoder, Item);
}

void TRCItemStringTableWriter::SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals)
{
    auto* table = qobject_cast<TStringListResourceItem*>(Item);
    if (!table) {
        const std::unique_ptr<TCustomRCItemWriter> raw = TRCItemBinaryWriter::ClassInfo()->Create(Path());
        raw->SetSymbolicValues(SymbolicValues());
        raw->SaveToStream(Encoder, Item, SaveExternals);
        return;
    }
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
