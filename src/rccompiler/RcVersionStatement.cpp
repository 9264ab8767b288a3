// VERSIONINFO: the fixed file information and the tree of BLOCK and VALUE entries.
#include "RcStatements.h"

#include <vector>

namespace rc {

namespace {

constexpr uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t VS_FFI_STRUCVERSION = 0x00010000;
// Blocks nest a few levels; a script nested deeper is refused rather than recursed into.
constexpr int MaxBlockDepth = 64;

// One node of the tree: a BLOCK (children, no value) or a VALUE (text or binary).
struct TVersionNode {
    QString Key;
    bool Text = true;
    QByteArray Value;
    uint16_t ValueLength = 0; // characters of a text value, bytes of a binary one
    std::vector<TVersionNode> Children;
};

// A node's length runs from its header to the end of its value or of its last child, without the
// padding after them; its value and each child start on a DWORD counted from the resource's start.
// False when a length does not fit its 16 bits.
bool AppendNode(TDataBuilder& B, const TVersionNode& Node)
{
    B.AlignTo4();
    const qsizetype start = B.Size();
    B.Word(0);
    B.Word(Node.ValueLength);
    B.Word(Node.Text ? 1 : 0);
    B.String16(Node.Key);
    B.AlignTo4();
    B.Bytes(Node.Value);
    for (const TVersionNode& child : Node.Children)
        if (!AppendNode(B, child)) return false;
    const qsizetype length = B.Size() - start;
    if (length > 0xFFFF) return false;
    B.PatchWord(start, static_cast<uint16_t>(length));
    return true;
}

class TVersionCompiler {
public:
    TVersionCompiler(TParser& Parser, TResourceStatement& Statement) : P(Parser), S(Statement) {}

    void Run()
    {
        TVersionNode root;
        root.Key = QStringLiteral("VS_VERSION_INFO");
        root.Text = false;
        FixedInfo();
        TDataBuilder fixed;
        for (uint32_t field : {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, FFileVersion[0], FFileVersion[1],
                               FProductVersion[0], FProductVersion[1], FFlagsMask, FFlags, FOS, FType, FSubType,
                               0u, 0u})
            fixed.DWord(field);
        root.Value = fixed.Data();
        root.ValueLength = static_cast<uint16_t>(root.Value.size());
        const TToken& at = P.Peek();
        Children(root, 0);
        TDataBuilder b;
        if (!AppendNode(b, root)) P.Fatal(at, rcErrValue, QStringLiteral("version information longer than 65535 bytes"));
        P.Emit(S, b.Data());
    }

private:
    // FILEVERSION a, b, c, d: two DWORDs of two WORDs each, missing parts 0.
    void Version(uint32_t* Into)
    {
        uint16_t parts[4] = {0, 0, 0, 0};
        parts[0] = P.WordExpression();
        for (int i = 1; i < 4; ++i) {
            if (!P.SkipComma() && !P.AtExpression()) break;
            parts[i] = P.WordExpression();
        }
        Into[0] = (uint32_t(parts[0]) << 16) | parts[1];
        Into[1] = (uint32_t(parts[2]) << 16) | parts[3];
    }

    void FixedInfo()
    {
        for (;;) {
            if (P.CommonOption(S)) continue;
            if (P.AcceptKeyword(u"FILEVERSION")) Version(FFileVersion);
            else if (P.AcceptKeyword(u"PRODUCTVERSION")) Version(FProductVersion);
            else if (P.AcceptKeyword(u"FILEFLAGSMASK")) FFlagsMask = P.Expression().Value;
            else if (P.AcceptKeyword(u"FILEFLAGS")) FFlags = P.Expression().Value;
            else if (P.AcceptKeyword(u"FILEOS")) FOS = P.Expression().Value;
            else if (P.AcceptKeyword(u"FILETYPE")) FType = P.Expression().Value;
            else if (P.AcceptKeyword(u"FILESUBTYPE")) FSubType = P.Expression().Value;
            else break;
        }
    }

    // BEGIN { BLOCK "key" children | VALUE "key", values } END
    void Children(TVersionNode& Parent, int Depth)
    {
        if (Depth > MaxBlockDepth) P.Fatal(rcErrSyntax, QStringLiteral("version blocks nested too deeply"));
        P.ExpectBegin();
        while (!P.AtBlockEnd()) {
            TVersionNode node;
            if (P.AcceptKeyword(u"BLOCK")) {
                node.Key = P.Text();
                Children(node, Depth + 1);
            } else if (P.AcceptKeyword(u"VALUE")) {
                node.Key = P.Text();
                Values(node);
            } else {
                P.Unexpected(QStringLiteral("BLOCK, VALUE or END"));
            }
            Parent.Children.push_back(std::move(node));
        }
        P.ExpectEnd();
    }

    // Strings, each with its terminator (literals without a comma between them make one string), counted
    // in characters; or numbers, WORDs (DWORDs with L),
    // counted in bytes. Not both.
    void Values(TVersionNode& Node)
    {
        TDataBuilder b;
        bool strings = false;
        bool numbers = false;
        while (P.SkipComma() || P.AtString() || P.AtExpression()) {
            const TToken& at = P.Peek();
            if (P.AtString()) {
                strings = true;
                // "text" "more": one string.
                QString text = P.Text();
                while (P.AtString()) text += P.Text();
                b.String16(text);
            } else {
                numbers = true;
                const TExpression e = P.Expression();
                if (e.IsLong)
                    b.DWord(e.Value);
                else
                    b.Word(e.Word());
            }
            if (strings && numbers)
                P.Fatal(at, rcErrValue, QStringLiteral("VALUE \"%1\" holds both strings and numbers").arg(Node.Key));
        }
        Node.Value = b.Data();
        Node.Text = !numbers;
        const qsizetype length = numbers ? b.Size() : b.Size() / 2;
        if (length > 0xFFFF) P.Fatal(rcErrValue, QStringLiteral("VALUE \"%1\" is too long").arg(Node.Key));
        Node.ValueLength = static_cast<uint16_t>(length);
    }

    TParser& P;
    TResourceStatement& S;
    uint32_t FFileVersion[2] = {0, 0};
    uint32_t FProductVersion[2] = {0, 0};
    uint32_t FFlagsMask = 0;
    uint32_t FFlags = 0;
    uint32_t FOS = 0;
    uint32_t FType = 0;
    uint32_t FSubType = 0;
};

} // namespace

void CompileVersionInfo(TParser& Parser, TResourceStatement& Statement) { TVersionCompiler(Parser, Statement).Run(); }

} // namespace rc
