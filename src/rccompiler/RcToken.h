#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The resource compiler's own layer: its names live in namespace rc.
namespace rc {

enum class TTokenKind : uint8_t {
    End,        // past the last token
    Identifier, // C identifier (RC keywords are identifiers too)
    Number,     // a C pp-number as written: 12, 0x1F, 10L, 1.2
    String,     // a literal as written, with its L prefix and quotes: L"a\tb", "x""y" lexes as two
    CharLit,    // 'a' as written
    Punct,      // C punctuator: one of ( ) { } , ; + - * / % | & ^ ~ ! < > = ? : # ## && || == != <= >= << >>
    Other,      // any other character, one per token (\ $ @ `)
};

// One token of the preprocessed script. File indexes the compiler's file table; Line counts from 1.
struct TToken {
    TTokenKind Kind = TTokenKind::End;
    bool SpaceBefore = false; // white space (or a comment) directly before it on its line
    bool LineStart = false;   // first token of a source line
    QString Text;
    int File = 0;
    int Line = 0;
    int CodePage = 0; // code page narrow literals of this token are read in (0: the default)
    // Read from a UTF-16 script: a narrow literal's characters are its text as written, and only
    // its bytes (in data) go through the code page.
    bool Unicode = false;
    // The object-like macro, used in the source text, whose expansion produced this token (outermost
    // one); empty for tokens written in the source. The symbol data names resources and IDs by it.
    QString Macro;
    // Tells two expansions of the same macro apart (0 for tokens written in the source).
    uint32_t Expansion = 0;

    bool Is(TTokenKind K, QStringView T) const { return Kind == K && Text == T; }
    bool IsPunct(QStringView T) const { return Is(TTokenKind::Punct, T); }
    // RC keywords are case-insensitive.
    bool IsKeyword(QStringView T) const
    {
        return Kind == TTokenKind::Identifier && Text.compare(T, Qt::CaseInsensitive) == 0;
    }
};

using TTokens = std::vector<TToken>;

} // namespace rc
