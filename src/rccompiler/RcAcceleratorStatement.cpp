#include "RcStatements.h"

namespace rc {

namespace {

enum : uint16_t {
    accVirtKey = 0x01,
    accNoInvert = 0x02,
    accShift = 0x04,
    accControl = 0x08,
    accAlt = 0x10,
    accLast = 0x80,
};

struct TAcceleratorEntry {
    uint16_t Flags = 0;
    uint16_t Key = 0;
    uint16_t Id = 0;
};

} // namespace

void CompileAccelerators(TParser& Parser, TResourceStatement& Statement)
{
    Parser.CommonOptions(Statement);
    Parser.ExpectBegin();
    std::vector<TAcceleratorEntry> entries;
    while (!Parser.AtBlockEnd()) {
        TAcceleratorEntry entry;
        const TToken& keyToken = Parser.Peek();
        // The key: a number, or a string of one character ("^C" is Ctrl+C as a control character).
        bool fromString = false;
        QString keyText;
        if (Parser.AtString()) {
            fromString = true;
            const TStringLiteral literal = Parser.String();
            keyText = literal.Text();
            if (keyText.size() == 2 && keyText[0] == u'^') {
                const QChar c = keyText[1].toUpper();
                if (c < u'A' || c > u'Z')
                    Parser.Fatal(keyToken, rcErrValue, QStringLiteral("invalid control character %1").arg(Describe(keyToken)));
                entry.Key = static_cast<uint16_t>(c.unicode() - u'A' + 1);
                fromString = false;
            } else if (keyText.size() != 1) {
                Parser.Fatal(keyToken, rcErrValue, QStringLiteral("an accelerator key must be one character: %1").arg(Describe(keyToken)));
            } else if (literal.Wide) {
                entry.Key = keyText[0].unicode();
            } else {
                // A narrow key is its byte in the code page.
                entry.Key = literal.Bytes.isEmpty() ? 0 : static_cast<uint8_t>(literal.Bytes[0]);
            }
        } else {
            entry.Key = Parser.WordExpression();
        }
        Parser.SkipComma();
        const TExpression id = Parser.Expression();
        entry.Id = id.Word();
        Statement.AddChild(id);
        for (;;) {
            const bool comma = Parser.SkipComma();
            if (Parser.AcceptKeyword(u"VIRTKEY")) entry.Flags |= accVirtKey;
            else if (Parser.AcceptKeyword(u"ASCII")) entry.Flags &= ~accVirtKey;
            else if (Parser.AcceptKeyword(u"NOINVERT")) entry.Flags |= accNoInvert;
            else if (Parser.AcceptKeyword(u"SHIFT")) entry.Flags |= accShift;
            else if (Parser.AcceptKeyword(u"CONTROL")) entry.Flags |= accControl;
            else if (Parser.AcceptKeyword(u"ALT")) entry.Flags |= accAlt;
            else if (comma) Parser.Unexpected(QStringLiteral("an accelerator option"));
            else break;
        }
        // A letter named for a virtual key is its upper-case key code.
        if ((entry.Flags & accVirtKey) && fromString && entry.Key >= 'a' && entry.Key <= 'z') entry.Key -= 'a' - 'A';
        entries.push_back(entry);
    }
    Parser.ExpectEnd();
    TDataBuilder data;
    for (size_t i = 0; i < entries.size(); ++i) {
        data.Word(static_cast<uint16_t>(entries[i].Flags | (i + 1 == entries.size() ? accLast : 0)));
        data.Word(entries[i].Key);
        data.Word(entries[i].Id);
        data.Word(0);
    }
    Parser.Emit(Statement, data.Data());
}

} // namespace rc
