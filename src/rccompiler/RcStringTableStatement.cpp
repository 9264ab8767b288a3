#include "RcStatements.h"

#include <QHash>

#include <array>

namespace rc {

// A block of 16 strings: strings ID (Block - 1) * 16 .. + 15 of one language.
struct TStringBlock {
    uint16_t Block = 0;
    TResourceStatement Header; // flags, version, characteristics and place of its first statement
    std::array<QString, 16> Strings;
    std::array<bool, 16> Present{};
};

struct TParser::TStringTables {
    std::vector<TStringBlock> Blocks; // in order of their first string
    QHash<uint32_t, size_t> Index;    // language << 16 | block -> Blocks
};

std::shared_ptr<TParser::TStringTables> NewStringTables() { return std::make_shared<TParser::TStringTables>(); }

void CompileStringTable(TParser& Parser, const TToken& At)
{
    TResourceStatement s = Parser.NewStatement(At);
    s.Type = TNameOrdinal::FromOrdinal(6);
    s.MemoryFlags = rcMoveable | rcPure | rcDiscardable;
    Parser.MemoryFlags(s);
    Parser.CommonOptions(s);
    Parser.ExpectBegin();
    TParser::TStringTables& tables = Parser.StringTables();
    while (!Parser.AtBlockEnd()) {
        const TToken& idToken = Parser.Peek();
        const TExpression id = Parser.Expression();
        Parser.SkipComma();
        const QString text = Parser.Text();
        const uint16_t value = id.Word();
        const uint16_t blockNumber = static_cast<uint16_t>((value >> 4) + 1);
        const uint32_t key = (static_cast<uint32_t>(s.Language) << 16) | blockNumber;
        auto found = tables.Index.constFind(key);
        size_t index;
        if (found == tables.Index.cend()) {
            index = tables.Blocks.size();
            TStringBlock block;
            block.Block = blockNumber;
            block.Header = s;
            block.Header.Name = TNameOrdinal::FromOrdinal(blockNumber);
            block.Header.File = idToken.File;
            block.Header.Line = idToken.Line;
            tables.Blocks.push_back(std::move(block));
            tables.Index.insert(key, index);
        } else {
            index = *found;
        }
        TStringBlock& block = tables.Blocks[index];
        const int slot = value & 15;
        if (block.Present[slot])
            Parser.Fatal(idToken, rcErrDuplicate, QStringLiteral("duplicate string ID %1").arg(value));
        block.Present[slot] = true;
        block.Strings[slot] = text;
        if (!id.Macro.isEmpty()) block.Header.Children.push_back(TSymbolChild{id.Macro, value});
    }
    Parser.ExpectEnd();
}

void FinishStringTables(TParser& Parser)
{
    TParser::TStringTables& tables = Parser.StringTables();
    for (const TStringBlock& block : tables.Blocks) {
        TDataBuilder data;
        for (const QString& text : block.Strings) {
            // A string longer than a count can say is cut at 65535 units.
            const QString kept = text.left(0xFFFF);
            data.Word(static_cast<uint16_t>(kept.size()));
            data.Utf16(kept);
        }
        Parser.Emit(block.Header, data.Data());
        Parser.AddSymbolRecord(block.Header);
    }
}

} // namespace rc
