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
