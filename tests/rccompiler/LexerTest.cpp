#include "rccompiler/RcLexer.h"

#include <gtest/gtest.h>

using namespace rc;

namespace {

QStringList Texts(const TTokens& Tokens)
{
    QStringList texts;
    for (const TToken& token : Tokens) texts << token.Text;
    return texts;
}

} // namespace

TEST(RcLexerTest, SplitsScriptText)
{
    const TTokens tokens = Tokenize(u"IDI_APP ICON res\\app.ico // note\r\n"
                                    u"1 RCDATA { L\"a\\\"b\", \"x\"\"y\", 0x10L, -2 }\n/* a\nb */ END");
    EXPECT_EQ(Texts(tokens), (QStringList{"IDI_APP", "ICON", "res", "\\", "app", ".", "ico", "1", "RCDATA", "{",
                                          "L\"a\\\"b\"", ",", "\"x\"", "\"y\"", ",", "0x10L", ",", "-", "2", "}",
                                          "END"}));
    EXPECT_TRUE(tokens[2].SpaceBefore);
    EXPECT_FALSE(tokens[3].SpaceBefore); // res\app.ico joins back by adjacency
    EXPECT_FALSE(tokens[13].SpaceBefore); // "x""y" is one RC string
    EXPECT_TRUE(tokens[7].LineStart);
    EXPECT_EQ(tokens[7].Line, 2);
    EXPECT_EQ(tokens.back().Line, 4);
    EXPECT_EQ(tokens[10].Kind, TTokenKind::String);
}

TEST(RcLexerTest, SplicesAndUnterminatedLiterals)
{
    TLexer lexer(u"AB\\\nCD \"open\nnext");
    EXPECT_EQ(lexer.Next().Text, "ABCD");
    EXPECT_EQ(lexer.Next().Text, "\"open");
    EXPECT_TRUE(lexer.Unterminated());
    const TToken next = lexer.Next();
    EXPECT_EQ(next.Text, "next");
    EXPECT_EQ(next.Line, 3);
    EXPECT_TRUE(next.LineStart);
    EXPECT_EQ(lexer.Next().Kind, TTokenKind::End);
}

TEST(RcLexerTest, DirectiveLinesAndTextInPieces)
{
    // The text arrives in two pieces; a comment runs across the seam.
    const QString whole = QStringLiteral("#define A 1 /* x\ny */ 2\nB");
    QString text = whole.left(14);
    TLexer lexer(text);
    bool refilled = false;
    lexer.SetRefill([&]() -> QStringView {
        if (!refilled) text = whole;
        refilled = true;
        return text;
    });
    EXPECT_EQ(lexer.Next().Text, "#");
    QStringList line;
    for (TToken t = lexer.NextOnLine(); t.Kind != TTokenKind::End; t = lexer.NextOnLine()) line << t.Text;
    EXPECT_EQ(line, (QStringList{"define", "A", "1", "2"}));
    const TToken b = lexer.Next();
    EXPECT_EQ(b.Text, "B");
    EXPECT_TRUE(b.LineStart);
    EXPECT_EQ(b.Line, 3);
    EXPECT_TRUE(refilled);
    EXPECT_FALSE(lexer.UnterminatedComment());
}
