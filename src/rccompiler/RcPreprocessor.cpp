#include "RcPreprocessor.h"

#include "RcLexer.h"
#include "RcPpExpression.h"
#include "model/koResourceModuleRC.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <functional>
#include <optional>

// The built-in headers live in the core library's resources.
static void InitBuiltinHeaderResources() { Q_INIT_RESOURCE(rcheaders); }

namespace rc {

namespace {

// Message numbers, one per kind of problem.
enum : int {
    RcEndOfFile = 1004,      // unexpected end of file (comment, conditional, macro call)
    RcIncludeName = 1011,    // #include without a file name
    RcIncludeDepth = 1014,   // include nesting too deep (fatal)
    RcCannotOpen = 1015,     // cannot open include file (fatal)
    RcIdentifierExpected = 1016,
    RcUnexpectedElif = 1018,
    RcUnexpectedElse = 1019,
    RcUnexpectedEndif = 1020,
    RcBadDirective = 1021,
    RcExpansionLimit = 1055, // macro expansion too large or too deep (fatal)
    RcUserError = 1189,      // #error
    RcNewLineInConstant = 2001,
    RcMacroDefinition = 2008,
    RcMacroArguments = 2057,
    RcCodePage = 4214,
    RcUserWarning = 4011,
};

constexpr int MaxIncludeDepth = 64;
constexpr int MaxArgumentNesting = 200;
// Tokens one macro call written in the text may expand to, and all expansions of a run together
// (beyond a floor, in proportion to the text read): runaway definitions stop early.
constexpr qint64 MaxCallTokens = 256 * 1024;
constexpr qint64 MinTotalExpansionTokens = 4'000'000;
constexpr uint16_t EndOfListLevel = 0xFFE3;

QString BuiltinPath(const QString& Name) { return QStringLiteral(":/rcheaders/") + Name; }

// A built-in header by its name (any case, no folder); empty when there is none.
QString FindBuiltin(const QString& Name)
{
    InitBuiltinHeaderResources();
    const QString name = Name.toLower();
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) return {};
    const QString path = BuiltinPath(name);
    return QFileInfo(path).isFile() ? path : QString();
}

bool IsIdentifier(const TToken& T, const char* Text) { return T.Kind == TTokenKind::Identifier && T.Text == QLatin1String(Text); }

struct TMacro {
    QString Name;
    bool Function = false;
    bool Variadic = false;
    bool Builtin = false; // predefined or from the command line
    bool SystemOnly = false; // seen only by the headers of an installed SDK
    std::vector<QString> Params;
    TTokens Body;
    std::vector<int> ParamOf; // per body token: the parameter it names, or -1
    bool Disabled = false; // being expanded
};
using TMacroPtr = std::shared_ptr<TMacro>;

// A token on its way through the expander.
struct TPpToken {
    TToken T;
    bool Painted = false;    // named a macro while that macro was being expanded: never expands again
    bool FromSource = false; // read from the text, not produced by an expansion
};
using TPpTokens = std::vector<TPpToken>;

struct TCondition {
    bool Active = true;       // this group's tokens are read
    bool Taken = false;       // one group of the chain was taken
    bool ParentActive = true; // the enclosing group is read
    bool ElseSeen = false;
    int Line = 0;
};

enum class TFound { None, IncluderFolder, ScriptFolder, IncludeFolder, Builtin };

struct TFrame {
    int File = 0;
    QString Key; // identity of the file for #pragma once and include guards
    QString Folder;
    int Level = 0;
    bool ReadOnly = false;
    int FoundIn = -1; // index in the system search list where it was found (for #include_next)
    bool DirectivesOnly = false; // an included C source or header: only its directives count
    bool System = false;         // found in an include folder, or included by such a file

    QByteArray Bytes; // the undecoded rest, for text read in its code page
    qsizetype ByteOffset = 0;
    int DecodeCodePage = 0; // 0: decoded already (Unicode text)
    int CodePage = 0;       // narrow literals
    bool Unicode = false;   // the file is UTF-16: narrow literals keep their characters as text
    QString Text;
    std::unique_ptr<TLexer> Lexer;

    bool HasPending = false;
    TToken Pending;
    bool PendingUnterminated = false;

    std::vector<TCondition> Conditions;
    // Include guard: 0 nothing seen yet, 1 inside the leading #ifndef, 2 after its #endif, -1 none.
    int GuardState = 0;
    QString GuardName;

    bool Active() const { return Conditions.empty() || Conditions.back().Active; }
};

// A source of unexpanded tokens: the text of a file up to its next directive, or one directive line.
struct TRawSource {
    std::function<bool(TPpToken&)> Peek;
    std::function<bool(TPpToken&)> Take;
};

TRawSource VectorSource(const TPpTokens& Tokens, size_t& Pos)
{
    return {[&](TPpToken& Out) {
                if (Pos >= Tokens.size()) return false;
                Out = Tokens[Pos];
                return true;
            },
            [&](TPpToken& Out) {
                if (Pos >= Tokens.size()) return false;
                Out = Tokens[Pos++];
                return true;
            }};
}

QString JoinTokens(const TTokens& Tokens)
{
    QString text;
    for (size_t i = 0; i < Tokens.size(); ++i) {
        if (i > 0 && Tokens[i].SpaceBefore) text += QLatin1Char(' ');
        text += Tokens[i].Text;
    }
    return text;
}

} // namespace

struct TPreprocessor::TImpl {
    TImpl(const TPreprocessorOptions& Options, TDiagnostics& Diagnostics) : FOptions(Options), FDiag(Diagnostics) {}

    class TExpander;

    TPreprocessorOptions FOptions;
    TDiagnostics& FDiag;
    int FDefaultCodePage = 1252;
    QString FScriptFolder;
    std::vector<TSourceFile> FFiles;
    std::vector<std::unique_ptr<TFrame>> FFrames;
    QHash<QString, TMacroPtr> FMacros;
    // Macros whose value is an integer expression of numbers and such macros: of read-only headers
    // only they become symbols (their keywords, attributes and casts name no resource).
    QSet<QString> FNumericMacros;
    bool IsNumericValue(const TTokens& Body) const;
    QSet<QString> FOnce;
    QHash<QString, std::vector<TMacroPtr>> FPushed; // #pragma push_macro: the saved definitions (null: none)
    QHash<QString, QString> FGuards;
    mutable QHash<QString, QHash<QString, QString>> FFolderListings; // folder -> lower-case name -> name
    TTokens FOut;
    QByteArray FSymbols;
    uint32_t FExpansions = 0;
    qint64 FExpandedTokens = 0;
    qint64 FCallTokens = 0;
    qint64 FBytesRead = 0;

    // Files -----------------------------------------------------------------------------------------

    QString ResolveIn(const QString& Folder, const QString& Name) const;
    QString FindInFolders(const QString& Name, const QStringList& Folders) const;
    QString SearchInclude(const QString& Name, bool Angled, const TFrame* Includer, int StartAt, TFound& Found,
                          int& FoundIn) const;
    void Open(const QString& Path, const QString& Written, const QString& Display, int Level, bool ReadOnly,
              int Parent, int FoundIn, const QByteArray& Bytes);
    QStringView Refill(TFrame& Frame);
    QString Decode(const QByteArray& Bytes, int CodePage);

    // Reading ---------------------------------------------------------------------------------------

    TToken Lex(TFrame& Frame, bool OnLine);
    const TToken& PeekRaw(TFrame& Frame);
    TToken TakeRaw(TFrame& Frame);
    TPpTokens ReadLine(TFrame& Frame);
    void SkipLine(TFrame& Frame);
    void Loop();
    void EndOfFile();
    void ExpandText(TFrame& Frame);

    // Directives ------------------------------------------------------------------------------------

    void Directive(TFrame& Frame);
    void Conditional(TFrame& Frame, const QString& Name, int Line);
    bool Evaluate(TFrame& Frame, const TPpTokens& Tokens, int Line);
    void Define(TFrame& Frame, const TPpTokens& Tokens, int Line);
    void Include(TFrame& Frame, const TPpTokens& Tokens, int Line, bool Next);
    void Pragma(TFrame& Frame, const TPpTokens& Tokens, int Line);
    void LineDirective(TFrame& Frame, const TPpTokens& Tokens, int Line);
    TPpTokens Expand(const TPpTokens& Tokens, bool InIf);
    bool IncludeName(const TPpTokens& Tokens, QString& Name, bool& Angled) const;

    // Symbol records --------------------------------------------------------------------------------

    void Record(const QString& A, const QString& B, uint32_t W, bool F);
    bool IsDefined(const QString& Name) const { return Find(Name) != nullptr; }
    TMacroPtr Find(const QString& Name) const
    {
        TMacroPtr macro = FMacros.value(Name);
        if (macro && macro->SystemOnly && (FFrames.empty() || !FFrames.back()->System)) return nullptr;
        return macro;
    }
    void DefineBuiltin(const QString& Name, const QString& Value, bool SystemOnly = false);
};

// The expander: object-like and function-like macros with # and ##, rescanning, and no expansion of a
// macro inside itself. Work goes through a stack of contexts (one per expansion being read), so each
// token is copied once per expansion that produces it.
class TPreprocessor::TImpl::TExpander {
public:
    TExpander(TImpl& Pp, TRawSource Raw, bool InIf, int File, int Line, int Nesting = 0)
        : FPp(Pp), FRaw(std::move(Raw)), FInIf(InIf), FFile(File), FLine(Line), FNesting(Nesting)
    {
    }
    ~TExpander()
    {
        for (TContext& context : FStack)
            if (context.Macro) context.Macro->Disabled = false;
    }

    bool Get(TPpToken& Out);

private:
    struct TContext {
        TPpTokens Tokens;
        size_t Pos = 0;
        TMacroPtr Macro;
    };

    bool Take(TPpToken& Out);
    bool Peek(TPpToken& Out);
    bool CollectArguments(const TMacro& Macro, std::vector<TPpTokens>& Args, const TPpToken& Name);
    TPpTokens Substitute(const TMacro& Macro, const std::vector<TPpTokens>& Args);
    TPpTokens ExpandArgument(const TPpTokens& Arg);
    TPpToken Stringize(const TPpTokens& Arg, const TPpToken& At) const;
    void Paste(TPpTokens& Out, const TPpTokens& Right) const;
    void Push(const TMacroPtr& Macro, TPpTokens Tokens, const TPpToken& Name);
    bool Defined(TPpToken& Out);
    int ParamIndex(const TMacro& Macro, size_t At) const;

    TImpl& FPp;
    TRawSource FRaw;
    bool FInIf;
    int FFile;
    int FLine;
    int FNesting;
    std::vector<TContext> FStack;
};

bool TPreprocessor::TImpl::TExpander::Take(TPpToken& Out)
{
    while (!FStack.empty()) {
        TContext& top = FStack.back();
        if (top.Pos < top.Tokens.size()) {
            Out = std::move(top.Tokens[top.Pos++]);
            return true;
        }
        if (top.Macro) top.Macro->Disabled = false;
        FStack.pop_back();
    }
    return FRaw.Take(Out);
}

bool TPreprocessor::TImpl::TExpander::Peek(TPpToken& Out)
{
    for (auto it = FStack.rbegin(); it != FStack.rend(); ++it) {
        if (it->Pos < it->Tokens.size()) {
            Out = it->Tokens[it->Pos];
            return true;
        }
    }
    return FRaw.Peek(Out);
}

int TPreprocessor::TImpl::TExpander::ParamIndex(const TMacro& Macro, size_t At) const
{
    return At < Macro.ParamOf.size() ? Macro.ParamOf[At] : -1;
}

// defined X, defined(X) and __has_include("x") / (<x>) in #if lines.
bool TPreprocessor::TImpl::TExpander::Defined(TPpToken& Out)
{
    const bool hasInclude = Out.T.Text != QLatin1String("defined");
    TPpToken t;
    bool ok = Take(t);
    const bool paren = ok && t.T.IsPunct(u"(");
    if (paren) ok = Take(t);
    bool value = false;
    if (!hasInclude) {
        ok = ok && t.T.Kind == TTokenKind::Identifier;
        if (ok) value = FPp.IsDefined(t.T.Text);
    } else {
        TPpTokens name;
        if (ok && t.T.IsPunct(u"<")) {
            name.push_back(t);
            while ((ok = Take(t)) && !t.T.IsPunct(u">")) name.push_back(t);
            name.push_back(t);
        } else if (ok) {
            name.push_back(t);
        }
        QString file;
        bool angled = false;
        ok = ok && FPp.IncludeName(name, file, angled);
        if (ok) {
            TFound found;
            int foundIn;
            value = !FPp.SearchInclude(file, angled, FPp.FFrames.empty() ? nullptr : FPp.FFrames.back().get(), 0,
                                       found, foundIn)
                         .isEmpty();
        }
    }
    if (ok && paren) ok = Take(t) && t.T.IsPunct(u")");
    if (!ok) {
        FPp.FDiag.Error(FFile, FLine, RcIdentifierExpected,
                        QStringLiteral("'%1' expects %2").arg(Out.T.Text, hasInclude ? QStringLiteral("a file name")
                                                                                   : QStringLiteral("an identifier")));
    }
    Out.T.Kind = TTokenKind::Number;
    Out.T.Text = value ? QStringLiteral("1") : QStringLiteral("0");
    return true;
}

bool TPreprocessor::TImpl::TExpander::Get(TPpToken& Out)
{
    for (;;) {
        if (FStack.empty() && FNesting == 0) FPp.FCallTokens = 0;
        if (!Take(Out)) return false;
        if (Out.T.Kind != TTokenKind::Identifier || Out.Painted) return true;
        if (FInIf && (Out.T.Text == QLatin1String("defined") || Out.T.Text == QLatin1String("__has_include") ||
                      Out.T.Text == QLatin1String("__has_include_next")))
            return Defined(Out);
        const TMacroPtr macro = FPp.Find(Out.T.Text);
        if (!macro) return true;
        if (macro->Disabled) {
            Out.Painted = true;
            return true;
        }
        if (!macro->Function) {
            Push(macro, macro->Body.empty() ? TPpTokens() : Substitute(*macro, {}), Out);
            continue;
        }
        TPpToken next;
        if (!Peek(next) || !next.T.IsPunct(u"(")) return true;
        Take(next);
        std::vector<TPpTokens> args;
        if (!CollectArguments(*macro, args, Out)) return false;
        Push(macro, Substitute(*macro, args), Out);
    }
}

bool TPreprocessor::TImpl::TExpander::CollectArguments(const TMacro& Macro, std::vector<TPpTokens>& Args,
                                                        const TPpToken& Name)
{
    Args.assign(1, {});
    int depth = 0;
    TPpToken t;
    for (;;) {
        if (!Take(t)) {
            FPp.FDiag.Error(Name.T.File, Name.T.Line, RcEndOfFile,
                            QStringLiteral("unexpected end of line or file in the arguments of macro '%1'").arg(Macro.Name));
            return false;
        }
        if (t.T.IsPunct(u"(")) {
            ++depth;
        } else if (t.T.IsPunct(u")")) {
            if (depth == 0) break;
            --depth;
        } else if (t.T.IsPunct(u",") && depth == 0 && !(Macro.Variadic && Args.size() == Macro.Params.size())) {
            Args.emplace_back();
            continue;
        }
        Args.back().push_back(std::move(t));
    }
    const size_t want = Macro.Params.size();
    if (want == 0 && Args.size() == 1 && Args[0].empty()) {
        Args.clear();
        return true;
    }
    if (Macro.Variadic && Args.size() + 1 == want) Args.emplace_back();
    if (Args.size() != want) {
        FPp.FDiag.Error(Name.T.File, Name.T.Line, RcMacroArguments,
                        QStringLiteral("macro '%1' takes %2 arguments, not %3").arg(Macro.Name).arg(want).arg(Args.size()));
        Args.resize(want);
    }
    return true;
}

TPpTokens TPreprocessor::TImpl::TExpander::ExpandArgument(const TPpTokens& Arg)
{
    TPpTokens out;
    if (FNesting >= MaxArgumentNesting) {
        FPp.FDiag.Fatal(FFile, FLine, RcExpansionLimit, QStringLiteral("macro arguments nested too deeply"));
    }
    size_t pos = 0;
    TExpander inner(FPp, VectorSource(Arg, pos), FInIf, FFile, FLine, FNesting + 1);
    TPpToken t;
    while (inner.Get(t)) out.push_back(std::move(t));
    return out;
}

TPpToken TPreprocessor::TImpl::TExpander::Stringize(const TPpTokens& Arg, const TPpToken& At) const
{
    QString text = QStringLiteral("\"");
    for (size_t i = 0; i < Arg.size(); ++i) {
        const TToken& t = Arg[i].T;
        if (i > 0 && t.SpaceBefore) text += QLatin1Char(' ');
        if (t.Kind == TTokenKind::String || t.Kind == TTokenKind::CharLit) {
            for (QChar c : t.Text) {
                if (c == QLatin1Char('"') || c == QLatin1Char('\\')) text += QLatin1Char('\\');
                text += c;
            }
        } else {
            text += t.Text;
        }
    }
    text += QLatin1Char('"');
    TPpToken result = At;
    result.T.Kind = TTokenKind::String;
    result.T.Text = text;
    result.Painted = false;
    result.FromSource = false;
    return result;
}

// Appends Right to Out, gluing Out's last token and Right's first into one (lexed again).
void TPreprocessor::TImpl::TExpander::Paste(TPpTokens& Out, const TPpTokens& Right) const
{
    if (!Out.empty() && Out.back().T.Kind == TTokenKind::End) Out.pop_back(); // an empty left operand
    if (Out.empty() || Right.empty()) {
        Out.insert(Out.end(), Right.begin(), Right.end());
        return;
    }
    TPpToken left = Out.back();
    Out.pop_back();
    const QString joined = left.T.Text + Right.front().T.Text;
    const TTokens lexed = Tokenize(joined, left.T.File);
    for (size_t i = 0; i < lexed.size(); ++i) {
        TPpToken t = left;
        t.T.Kind = lexed[i].Kind;
        t.T.Text = lexed[i].Text;
        t.Painted = false;
        t.FromSource = false;
        if (i > 0) t.T.SpaceBefore = false;
        Out.push_back(std::move(t));
    }
    Out.insert(Out.end(), Right.begin() + 1, Right.end());
}

TPpTokens TPreprocessor::TImpl::TExpander::Substitute(const TMacro& Macro, const std::vector<TPpTokens>& Args)
{
    const TTokens& body = Macro.Body;
    auto wrap = [](const TToken& T) {
        TPpToken t;
        t.T = T;
        return t;
    };
    std::vector<std::optional<TPpTokens>> expanded(Args.size());
    TPpTokens out;
    size_t i = 0;
    // One operand of ##: a parameter gives its argument as written, # gives a string, others themselves.
    auto operand = [&](size_t& At) -> TPpTokens {
        const TToken& t = body[At];
        if (Macro.Function && t.IsPunct(u"#") && At + 1 < body.size()) {
            const int p = ParamIndex(Macro, At + 1);
            if (p >= 0) {
                At += 2;
                return {Stringize(Args[p], wrap(t))};
            }
        }
        const int p = ParamIndex(Macro, At);
        ++At;
        if (p >= 0) return Args[p];
        return {wrap(t)};
    };
    while (i < body.size()) {
        const TToken& t = body[i];
        if (t.IsPunct(u"##") && i + 1 < body.size() && !out.empty()) {
            ++i;
            const bool vaComma = Macro.Variadic && out.back().T.IsPunct(u",") &&
                                 ParamIndex(Macro, i) == int(Macro.Params.size()) - 1;
            if (vaComma) {
                // ", ## __VA_ARGS__" drops the comma when there are no variable arguments.
                const TPpTokens& va = Args.back();
                if (va.empty()) out.pop_back();
                out.insert(out.end(), va.begin(), va.end());
                ++i;
                continue;
            }
            Paste(out, operand(i));
            continue;
        }
        const bool beforePaste = i + 1 < body.size() && body[i + 1].IsPunct(u"##");
        if (Macro.Function && t.IsPunct(u"#") && ParamIndex(Macro, i + 1) >= 0) {
            TPpTokens s = operand(i);
            out.insert(out.end(), s.begin(), s.end());
            continue;
        }
        const int p = ParamIndex(Macro, i);
        if (p >= 0) {
            if (beforePaste || (i > 0 && body[i - 1].IsPunct(u"##"))) {
                out.insert(out.end(), Args[p].begin(), Args[p].end());
                if (Args[p].empty() && beforePaste) out.push_back(TPpToken()); // placemarker
            } else {
                if (!expanded[p]) expanded[p] = ExpandArgument(Args[p]);
                out.insert(out.end(), expanded[p]->begin(), expanded[p]->end());
            }
            ++i;
            continue;
        }
        if (t.IsPunct(u"##") && out.empty()) {
            ++i; // an empty argument on the left of ##: nothing to glue to
            continue;
        }
        out.push_back(wrap(t));
        ++i;
    }
    std::erase_if(out, [](const TPpToken& T) { return T.T.Kind == TTokenKind::End; });
    return out;
}

// The expansion of Macro called at Name goes on the stack. Tokens of an object-like macro written in
// the text carry its name and a new expansion number; tokens of an expansion carry what the token that
// started it carries.
void TPreprocessor::TImpl::TExpander::Push(const TMacroPtr& Macro, TPpTokens Tokens, const TPpToken& Name)
{
    FPp.FExpandedTokens += qint64(Tokens.size()) + 1;
    FPp.FCallTokens += qint64(Tokens.size()) + 1;
    if (FPp.FCallTokens > MaxCallTokens ||
        FPp.FExpandedTokens > std::max(MinTotalExpansionTokens, 64 * FPp.FBytesRead))
        FPp.FDiag.Fatal(Name.T.File, Name.T.Line, RcExpansionLimit, QStringLiteral("macro expansion too large"));
    QString tag = Name.T.Macro;
    uint32_t expansion = Name.T.Expansion;
    if (tag.isEmpty() && !Macro->Function && Name.FromSource) {
        tag = Macro->Name;
        expansion = ++FPp.FExpansions;
    }
    for (size_t i = 0; i < Tokens.size(); ++i) {
        TToken& t = Tokens[i].T;
        if (!tag.isEmpty()) {
            t.Macro = tag;
            t.Expansion = expansion;
        }
        if (!Tokens[i].FromSource || !tag.isEmpty()) {
            t.File = Name.T.File;
            t.Line = Name.T.Line;
        }
        if (i == 0) t.SpaceBefore = Name.T.SpaceBefore;
        t.LineStart = i == 0 && Name.T.LineStart;
        Tokens[i].FromSource = Tokens[i].FromSource && tag.isEmpty();
    }
    Macro->Disabled = true;
    FStack.push_back({std::move(Tokens), 0, Macro});
}

// Files -------------------------------------------------------------------------------------------------

// Name below Folder; backslashes are separators, and a component missing in its exact case is matched
// without case against the folder's listing.
QString TPreprocessor::TImpl::ResolveIn(const QString& Folder, const QString& Name) const
{
    QString name = Name;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.contains(QChar(0))) return {};
    const bool absolute = name.startsWith(QLatin1Char('/'));
    if (!absolute && Folder.isEmpty()) return {};
    const QString base = absolute ? QStringLiteral("/") : Folder;
    const QString exact = QDir::cleanPath(base + QLatin1Char('/') + name);
    if (QFileInfo(exact).isFile()) return exact;
    QString current = QDir::cleanPath(base);
    for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            current = QDir::cleanPath(current + QStringLiteral("/.."));
            continue;
        }
        const QString candidate = current + QLatin1Char('/') + part;
        if (QFileInfo::exists(candidate)) {
            current = candidate;
            continue;
        }
        auto listing = FFolderListings.find(current);
        if (listing == FFolderListings.end()) {
            QHash<QString, QString> names;
            const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                                QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                const QString key = entry.toLower();
                if (!names.contains(key)) names.insert(key, entry);
            }
            listing = FFolderListings.insert(current, names);
        }
        const auto hit = listing->constFind(part.toLower());
        if (hit == listing->constEnd()) return {};
        current += QLatin1Char('/') + hit.value();
    }
    return QFileInfo(current).isFile() ? QDir::cleanPath(current) : QString();
}

QString TPreprocessor::TImpl::FindInFolders(const QString& Name, const QStringList& Folders) const
{
    for (const QString& folder : Folders) {
        const QString path = ResolveIn(folder, Name);
        if (!path.isEmpty()) return path;
    }
    return {};
}

// The system search list is the /i folders, then the built-in headers; StartAt skips its first entries
// (#include_next).
QString TPreprocessor::TImpl::SearchInclude(const QString& Name, bool Angled, const TFrame* Includer, int StartAt,
                                            TFound& Found, int& FoundIn) const
{
    Found = TFound::None;
    FoundIn = -1;
    if (!Angled && StartAt == 0) {
        if (Includer && !Includer->Folder.isEmpty()) {
            const QString path = ResolveIn(Includer->Folder, Name);
            if (!path.isEmpty()) {
                Found = TFound::IncluderFolder;
                return path;
            }
        }
        const QString path = ResolveIn(FScriptFolder, Name);
        if (!path.isEmpty()) {
            Found = TFound::ScriptFolder;
            return path;
        }
    }
    const int folders = int(FOptions.IncludeFolders.size());
    for (int i = std::max(StartAt, 0); i < folders; ++i) {
        const QString path = ResolveIn(FOptions.IncludeFolders[i], Name);
        if (!path.isEmpty()) {
            Found = TFound::IncludeFolder;
            FoundIn = i;
            return path;
        }
    }
    if (!FOptions.NoDefaultIncludes && StartAt <= folders) {
        const QString path = FindBuiltin(Name);
        if (!path.isEmpty()) {
            Found = TFound::Builtin;
            FoundIn = folders;
            return path;
        }
    }
    return {};
}

QString TPreprocessor::TImpl::Decode(const QByteArray& Bytes, int CodePage)
{
    try {
        return CodePageToUnicode(Bytes, uint32_t(CodePage));
    } catch (const Exception&) {
        return QString::fromLatin1(Bytes);
    }
}

// The next piece of a file read in a code page: up to the end of the next line that mentions
// code_page, so a #pragma there changes how the rest is read.
QStringView TPreprocessor::TImpl::Refill(TFrame& Frame)
{
    const QByteArray& bytes = Frame.Bytes;
    const qsizetype before = Frame.Text.size();
    // A piece may decode to nothing (a lone lead byte); the lexer needs more text or the end.
    while (Frame.ByteOffset < bytes.size() && Frame.Text.size() == before) {
        qsizetype end = bytes.size();
        const qsizetype hit = bytes.indexOf("code_page", Frame.ByteOffset);
        if (hit >= 0) {
            qsizetype eol = hit;
            while (eol < bytes.size() && bytes[eol] != '\n' && bytes[eol] != '\r') ++eol;
            if (eol < bytes.size()) {
                end = eol + 1;
                if (bytes[eol] == '\r' && end < bytes.size() && bytes[end] == '\n') ++end;
            }
        }
        Frame.Text += Decode(bytes.mid(Frame.ByteOffset, end - Frame.ByteOffset), Frame.DecodeCodePage);
        Frame.ByteOffset = end;
    }
    return Frame.Text;
}

void TPreprocessor::TImpl::Open(const QString& Path, const QString& Written, const QString& Display, int Level,
                                bool ReadOnly, int Parent, int FoundIn, const QByteArray& Bytes)
{
    FBytesRead += Bytes.size();
    auto frame = std::make_unique<TFrame>();
    frame->File = int(FFiles.size());
    frame->Level = Level;
    frame->ReadOnly = ReadOnly;
    frame->FoundIn = FoundIn;
    const bool builtin = Path.startsWith(QLatin1Char(':'));
    frame->Key = builtin ? Path : QFileInfo(Path).canonicalFilePath();
    if (frame->Key.isEmpty()) frame->Key = QFileInfo(Path).absoluteFilePath();
    frame->Folder = builtin ? QString() : QFileInfo(Path).absolutePath();
    const QString suffix = QFileInfo(Path).suffix().toLower();
    frame->DirectivesOnly = Level > 0 && (suffix == QLatin1String("h") || suffix == QLatin1String("c"));
    FFiles.push_back({Path, Written, Level, ReadOnly, Parent});
    FDiag.SetFileName(frame->File, Display);

    frame->CodePage = FDefaultCodePage;
    if (Bytes.startsWith("\xFF\xFE") || Bytes.startsWith("\xFE\xFF")) {
        const bool big = Bytes.startsWith("\xFE\xFF");
        const qsizetype count = (Bytes.size() - 2) / 2;
        frame->Text.resize(count);
        const uchar* data = reinterpret_cast<const uchar*>(Bytes.constData()) + 2;
        for (qsizetype i = 0; i < count; ++i)
            frame->Text[i] = QChar(big ? qFromBigEndian<quint16>(data + 2 * i) : qFromLittleEndian<quint16>(data + 2 * i));
        frame->Unicode = true;
    } else if (Bytes.startsWith("\xEF\xBB\xBF")) {
        frame->Text = QString::fromUtf8(Bytes.constData() + 3, Bytes.size() - 3);
        frame->CodePage = CP_UTF8;
    } else if (FDefaultCodePage == CP_UTF16) {
        frame->Text = Decode(Bytes, CP_UTF16);
        frame->Unicode = true;
    } else {
        frame->Bytes = Bytes;
        frame->DecodeCodePage = FDefaultCodePage;
    }
    frame->Lexer = std::make_unique<TLexer>(frame->Text, frame->File);
    if (frame->DecodeCodePage != 0) {
        TFrame* raw = frame.get();
        frame->Lexer->SetRefill([this, raw] { return Refill(*raw); });
    }
    if (Level == 0)
        Record(QStringLiteral("!"), QFileInfo(Written).fileName(), 0, false);
    else
        Record(QStringLiteral("!"), Written, uint32_t(Level), ReadOnly);
    FFrames.push_back(std::move(frame));
}

// Reading ---------------------------------------------------------------------------------------------

TToken TPreprocessor::TImpl::Lex(TFrame& Frame, bool OnLine)
{
    TToken t = OnLine ? Frame.Lexer->NextOnLine() : Frame.Lexer->Next();
    if (Frame.Lexer->UnterminatedComment())
        FDiag.Error(Frame.File, Frame.Lexer->Line(), RcEndOfFile, QStringLiteral("unexpected end of file in a comment"));
    t.CodePage = Frame.CodePage;
    t.Unicode = Frame.Unicode;
    return t;
}

const TToken& TPreprocessor::TImpl::PeekRaw(TFrame& Frame)
{
    if (!Frame.HasPending) {
        Frame.Pending = Lex(Frame, false);
        Frame.PendingUnterminated = Frame.Lexer->Unterminated();
        Frame.HasPending = true;
    }
    return Frame.Pending;
}

TToken TPreprocessor::TImpl::TakeRaw(TFrame& Frame)
{
    PeekRaw(Frame);
    Frame.HasPending = false;
    return std::move(Frame.Pending);
}

TPpTokens TPreprocessor::TImpl::ReadLine(TFrame& Frame)
{
    TPpTokens tokens;
    for (;;) {
        TPpToken t;
        t.T = Lex(Frame, true);
        if (t.T.Kind == TTokenKind::End) break;
        t.FromSource = true;
        tokens.push_back(std::move(t));
    }
    return tokens;
}

void TPreprocessor::TImpl::SkipLine(TFrame& Frame)
{
    while (Lex(Frame, true).Kind != TTokenKind::End) {
    }
}

void TPreprocessor::TImpl::Loop()
{
    while (!FFrames.empty()) {
        TFrame& frame = *FFrames.back();
        const TToken& t = PeekRaw(frame);
        if (t.Kind == TTokenKind::End) {
            EndOfFile();
        } else if (t.LineStart && t.IsPunct(u"#")) {
            TakeRaw(frame);
            Directive(frame);
        } else {
            if (frame.GuardState != 1) frame.GuardState = -1;
            if (frame.Active() && !frame.DirectivesOnly)
                ExpandText(frame);
            else
                TakeRaw(frame);
        }
    }
}

void TPreprocessor::TImpl::EndOfFile()
{
    TFrame& frame = *FFrames.back();
    if (!frame.Conditions.empty()) {
        FDiag.Error(frame.File, frame.Lexer->Line(), RcEndOfFile,
                    QStringLiteral("unexpected end of file: the conditional of line %1 has no #endif")
                        .arg(frame.Conditions.back().Line));
    } else if (frame.GuardState == 2) {
        FGuards.insert(frame.Key, frame.GuardName);
    }
    const int level = frame.Level;
    FFrames.pop_back();
    if (level > 0) Record(QString(QLatin1Char('!')), QString(), uint32_t(level - 1), false);
}

void TPreprocessor::TImpl::ExpandText(TFrame& Frame)
{
    auto stop = [&]() {
        const TToken& t = PeekRaw(Frame);
        return t.Kind == TTokenKind::End || (t.LineStart && t.IsPunct(u"#"));
    };
    TRawSource raw{[&](TPpToken& Out) {
                       if (stop()) return false;
                       Out.T = Frame.Pending;
                       Out.FromSource = true;
                       Out.Painted = false;
                       return true;
                   },
                   [&](TPpToken& Out) {
                       if (stop()) return false;
                       if (Frame.PendingUnterminated)
                           FDiag.Error(Frame.File, Frame.Pending.Line, RcNewLineInConstant,
                                       QStringLiteral("newline in constant"));
                       Out.T = TakeRaw(Frame);
                       Out.FromSource = true;
                       Out.Painted = false;
                       return true;
                   }};
    TExpander expander(*this, std::move(raw), false, Frame.File, PeekRaw(Frame).Line);
    TPpToken t;
    while (expander.Get(t)) FOut.push_back(std::move(t.T));
}

// Directives ------------------------------------------------------------------------------------------

void TPreprocessor::TImpl::Directive(TFrame& Frame)
{
    const TToken name = Lex(Frame, true);
    const int line = name.Line;
    if (name.Kind == TTokenKind::End) return; // the null directive
    const QString& word = name.Text;
    const bool conditional = name.Kind == TTokenKind::Identifier &&
                             (word == QLatin1String("if") || word == QLatin1String("ifdef") ||
                              word == QLatin1String("ifndef") || word == QLatin1String("elif") ||
                              word == QLatin1String("else") || word == QLatin1String("endif"));
    if (conditional) {
        Conditional(Frame, word, line);
        return;
    }
    if (!Frame.Active()) {
        SkipLine(Frame);
        return;
    }
    if (Frame.GuardState != 1) Frame.GuardState = -1;
    if (name.Kind == TTokenKind::Identifier && (word == QLatin1String("error") || word == QLatin1String("warning"))) {
        const QString text = Frame.Lexer->RestOfLine().trimmed();
        if (word == QLatin1String("error"))
            FDiag.Error(Frame.File, line, RcUserError, QStringLiteral("#error : ") + text);
        else
            FDiag.Warning(Frame.File, line, RcUserWarning, QStringLiteral("#warning : ") + text);
        return;
    }
    const TPpTokens tokens = ReadLine(Frame);
    if (name.Kind == TTokenKind::Number) {
        TPpTokens all{TPpToken{name, false, true}};
        all.insert(all.end(), tokens.begin(), tokens.end());
        LineDirective(Frame, all, line);
    } else if (word == QLatin1String("define")) {
        Define(Frame, tokens, line);
    } else if (word == QLatin1String("undef")) {
        if (tokens.empty() || tokens[0].T.Kind != TTokenKind::Identifier)
            FDiag.Error(Frame.File, line, RcIdentifierExpected, QStringLiteral("#undef expected an identifier"));
        else
            FMacros.remove(tokens[0].T.Text);
    } else if (word == QLatin1String("include")) {
        Include(Frame, tokens, line, false);
    } else if (word == QLatin1String("include_next")) {
        Include(Frame, tokens, line, true);
    } else if (word == QLatin1String("pragma")) {
        Pragma(Frame, tokens, line);
    } else if (word == QLatin1String("line")) {
        LineDirective(Frame, tokens, line);
    } else if (word == QLatin1String("ident") || word == QLatin1String("using") || word == QLatin1String("import")) {
        // nothing a resource compiler uses
    } else {
        FDiag.Error(Frame.File, line, RcBadDirective, QStringLiteral("invalid preprocessor command '%1'").arg(word));
    }
}

void TPreprocessor::TImpl::Conditional(TFrame& Frame, const QString& Name, int Line)
{
    auto& conditions = Frame.Conditions;
    if (Name.startsWith(QLatin1String("if"))) {
        const bool parentActive = Frame.Active();
        bool value = false;
        if (parentActive) {
            const TPpTokens tokens = ReadLine(Frame);
            if (Name == QLatin1String("if")) {
                value = Evaluate(Frame, tokens, Line);
                // #if !defined(X) guards a header as #ifndef X does.
                const bool paren = tokens.size() == 5 && tokens[2].T.IsPunct(u"(") && tokens[4].T.IsPunct(u")");
                if (Frame.GuardState == 0 && conditions.empty() && (tokens.size() == 3 || paren) &&
                    tokens[0].T.IsPunct(u"!") && IsIdentifier(tokens[1].T, "defined") &&
                    tokens[paren ? 3 : 2].T.Kind == TTokenKind::Identifier) {
                    Frame.GuardState = 1;
                    Frame.GuardName = tokens[paren ? 3 : 2].T.Text;
                }
            } else if (tokens.empty() || tokens[0].T.Kind != TTokenKind::Identifier) {
                FDiag.Error(Frame.File, Line, RcIdentifierExpected, QStringLiteral("#%1 expected an identifier").arg(Name));
            } else {
                value = IsDefined(tokens[0].T.Text) == (Name == QLatin1String("ifdef"));
                if (Frame.GuardState == 0 && Name == QLatin1String("ifndef") && conditions.empty()) {
                    Frame.GuardState = 1;
                    Frame.GuardName = tokens[0].T.Text;
                }
            }
        } else {
            SkipLine(Frame);
        }
        if (Frame.GuardState == 0 || Frame.GuardState == 2) Frame.GuardState = -1;
        conditions.push_back({parentActive && value, value || !parentActive, parentActive, false, Line});
        return;
    }
    if (conditions.empty()) {
        const int code = Name == QLatin1String("elif") ? RcUnexpectedElif
                         : Name == QLatin1String("else") ? RcUnexpectedElse
                                                         : RcUnexpectedEndif;
        FDiag.Error(Frame.File, Line, code, QStringLiteral("unexpected #%1").arg(Name));
        SkipLine(Frame);
        return;
    }
    TCondition& top = conditions.back();
    if (Name == QLatin1String("endif")) {
        conditions.pop_back();
        if (Frame.GuardState == 1 && conditions.empty()) Frame.GuardState = 2;
        SkipLine(Frame);
        return;
    }
    if (Frame.GuardState == 1 && conditions.size() == 1) Frame.GuardState = -1;
    if (top.ElseSeen) FDiag.Error(Frame.File, Line, RcUnexpectedElse, QStringLiteral("#%1 after #else").arg(Name));
    if (Name == QLatin1String("else")) {
        top.ElseSeen = true;
        top.Active = top.ParentActive && !top.Taken;
        top.Taken = true;
        SkipLine(Frame);
        return;
    }
    if (!top.ParentActive || top.Taken) {
        top.Active = false;
        SkipLine(Frame);
        return;
    }
    const bool value = Evaluate(Frame, ReadLine(Frame), Line);
    top.Active = value;
    top.Taken = value;
}

TPpTokens TPreprocessor::TImpl::Expand(const TPpTokens& Tokens, bool InIf)
{
    size_t pos = 0;
    const int file = Tokens.empty() ? -1 : Tokens[0].T.File;
    const int line = Tokens.empty() ? 0 : Tokens[0].T.Line;
    TExpander expander(*this, VectorSource(Tokens, pos), InIf, file, line);
    TPpTokens out;
    TPpToken t;
    while (expander.Get(t)) out.push_back(std::move(t));
    return out;
}

bool TPreprocessor::TImpl::Evaluate(TFrame& Frame, const TPpTokens& Tokens, int Line)
{
    const TPpTokens expanded = Expand(Tokens, true);
    TTokens tokens;
    tokens.reserve(expanded.size());
    for (const TPpToken& t : expanded) tokens.push_back(t.T);
    QString error;
    int code = 0;
    const bool value = EvaluateCondition(tokens, error, code);
    if (!error.isEmpty()) FDiag.Error(Frame.File, Line, code, error);
    return value;
}

void TPreprocessor::TImpl::Define(TFrame& Frame, const TPpTokens& Tokens, int Line)
{
    if (Tokens.empty() || Tokens[0].T.Kind != TTokenKind::Identifier) {
        FDiag.Error(Frame.File, Line, RcIdentifierExpected, QStringLiteral("#define expected an identifier"));
        return;
    }
    auto macro = std::make_shared<TMacro>();
    macro->Name = Tokens[0].T.Text;
    if (macro->Name == QLatin1String("defined")) {
        FDiag.Error(Frame.File, Line, RcMacroDefinition, QStringLiteral("'defined' cannot be defined"));
        return;
    }
    size_t i = 1;
    if (i < Tokens.size() && Tokens[i].T.IsPunct(u"(") && !Tokens[i].T.SpaceBefore) {
        macro->Function = true;
        ++i;
        bool closed = false;
        bool expectName = true;
        while (i < Tokens.size()) {
            const TToken& t = Tokens[i].T;
            if (t.IsPunct(u")") && (!expectName || macro->Params.empty())) {
                closed = true;
                ++i;
                break;
            }
            if (expectName && t.IsPunct(u".") && i + 2 < Tokens.size() && Tokens[i + 1].T.IsPunct(u".") &&
                Tokens[i + 2].T.IsPunct(u".")) {
                macro->Params.push_back(QStringLiteral("__VA_ARGS__"));
                macro->Variadic = true;
                i += 3;
                expectName = false;
                if (i < Tokens.size() && Tokens[i].T.IsPunct(u")")) {
                    closed = true;
                    ++i;
                }
                break;
            }
            if (expectName && t.Kind == TTokenKind::Identifier) {
                macro->Params.push_back(t.Text);
                expectName = false;
                ++i;
                // name... : a named variable argument list
                if (i + 2 < Tokens.size() && Tokens[i].T.IsPunct(u".") && Tokens[i + 1].T.IsPunct(u".") &&
                    Tokens[i + 2].T.IsPunct(u".")) {
                    macro->Variadic = true;
                    i += 3;
                    if (i < Tokens.size() && Tokens[i].T.IsPunct(u")")) {
                        closed = true;
                        ++i;
                    }
                    break;
                }
                continue;
            }
            if (!expectName && t.IsPunct(u",")) {
                expectName = true;
                ++i;
                continue;
            }
            break;
        }
        if (!closed) {
            FDiag.Error(Frame.File, Line, RcMacroDefinition,
                        QStringLiteral("invalid parameter list of macro '%1'").arg(macro->Name));
            return;
        }
    }
    for (; i < Tokens.size(); ++i) macro->Body.push_back(Tokens[i].T);
    if (!macro->Body.empty() &&
        (macro->Body.front().IsPunct(u"##") || macro->Body.back().IsPunct(u"##"))) {
        FDiag.Error(Frame.File, Line, RcMacroDefinition,
                    QStringLiteral("'##' cannot begin or end the body of macro '%1'").arg(macro->Name));
        return;
    }
    if (!macro->Body.empty()) macro->Body.front().SpaceBefore = false;
    if (macro->Function) {
        QHash<QString, int> params;
        for (size_t p = 0; p < macro->Params.size(); ++p) params.insert(macro->Params[p], int(p));
        macro->ParamOf.reserve(macro->Body.size());
        for (const TToken& t : macro->Body)
            macro->ParamOf.push_back(t.Kind == TTokenKind::Identifier ? params.value(t.Text, -1) : -1);
    }
    FNumericMacros.remove(macro->Name);
    if (!macro->Function && !macro->Body.empty()) {
        // The user's own headers are written back from their symbols, so each of their values is
        // kept; of read-only headers only what can name a resource.
        const TSourceFile& file = FFiles[Frame.File];
        const bool numeric = FOptions.SymbolMode && file.ReadOnly && IsNumericValue(macro->Body);
        if (numeric) FNumericMacros.insert(macro->Name);
        if (numeric || !file.ReadOnly)
            Record(macro->Name, JoinTokens(macro->Body), uint32_t(std::clamp(Line, 0, 0xFFFF)), file.ReadOnly);
    }
    FMacros.insert(macro->Name, macro);
}

bool TPreprocessor::TImpl::IncludeName(const TPpTokens& Tokens, QString& Name, bool& Angled) const
{
    if (Tokens.empty()) return false;
    const TToken& first = Tokens[0].T;
    if (first.Kind == TTokenKind::String && first.Text.startsWith(QLatin1Char('"'))) {
        const bool closed = first.Text.size() > 1 && first.Text.endsWith(QLatin1Char('"'));
        Name = first.Text.mid(1, first.Text.size() - (closed ? 2 : 1));
        Angled = false;
        return true;
    }
    if (first.IsPunct(u"<")) {
        Name.clear();
        for (size_t i = 1; i < Tokens.size(); ++i) {
            if (Tokens[i].T.IsPunct(u">")) {
                Angled = true;
                return true;
            }
            if (i > 1 && Tokens[i].T.SpaceBefore) Name += QLatin1Char(' ');
            Name += Tokens[i].T.Text;
        }
    }
    return false;
}

void TPreprocessor::TImpl::Include(TFrame& Frame, const TPpTokens& Tokens, int Line, bool Next)
{
    QString name;
    bool angled = false;
    if (!IncludeName(Tokens, name, angled) && !IncludeName(Expand(Tokens, false), name, angled)) {
        FDiag.Error(Frame.File, Line, RcIncludeName, QStringLiteral("#include expected a file name"));
        return;
    }
    if (Frame.Level + 1 > MaxIncludeDepth)
        FDiag.Fatal(Frame.File, Line, RcIncludeDepth,
                    QStringLiteral("too many nested include files (more than %1) at '%2'").arg(MaxIncludeDepth).arg(name));
    TFound found;
    int foundIn;
    const int startAt = Next ? Frame.FoundIn + 1 : 0;
    const QString path = SearchInclude(name, angled || Next, &Frame, startAt, found, foundIn);
    if (path.isEmpty()) FDiag.Fatal(Frame.File, Line, RcCannotOpen, QStringLiteral("cannot open include file '%1'.").arg(name));
    const bool readOnly = Frame.ReadOnly || angled || found == TFound::IncludeFolder || found == TFound::Builtin ||
                          IsDefined(QStringLiteral("APSTUDIO_READONLY_SYMBOLS"));
    const int level = Frame.Level + 1;
    const bool builtin = found == TFound::Builtin;
    const QString key = builtin ? path : QFileInfo(path).canonicalFilePath();
    const auto guard = FGuards.constFind(key);
    if (FOnce.contains(key) || (guard != FGuards.constEnd() && IsDefined(guard.value()))) {
        // Entered again: only its records, so the symbol data names it where it is included.
        Record(QStringLiteral("!"), name, uint32_t(level), readOnly);
        Record(QStringLiteral("!"), QString(), uint32_t(Frame.Level), false);
        return;
    }
    QByteArray bytes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        FDiag.Fatal(Frame.File, Line, RcCannotOpen, QStringLiteral("cannot open include file '%1'.").arg(name));
    bytes = file.readAll();
    const bool system = Frame.System || found == TFound::IncludeFolder;
    Open(path, name, builtin ? name : path, level, readOnly, Frame.File, foundIn, bytes);
    FFrames.back()->System = system;
}

void TPreprocessor::TImpl::Pragma(TFrame& Frame, const TPpTokens& Tokens, int Line)
{
    if (Tokens.empty()) return;
    if (IsIdentifier(Tokens[0].T, "once")) {
        FOnce.insert(Frame.Key);
        return;
    }
    // push_macro("NAME") / pop_macro("NAME"): the RC writer keeps resource names from being replaced so.
    const bool push = IsIdentifier(Tokens[0].T, "push_macro");
    if (push || IsIdentifier(Tokens[0].T, "pop_macro")) {
        const bool ok = Tokens.size() == 4 && Tokens[1].T.IsPunct(u"(") && Tokens[2].T.Kind == TTokenKind::String &&
                        Tokens[2].T.Text.size() > 2 && Tokens[2].T.Text.startsWith(QLatin1Char('"')) &&
                        Tokens[2].T.Text.endsWith(QLatin1Char('"')) && Tokens[3].T.IsPunct(u")");
        if (!ok) {
            FDiag.Error(Frame.File, Line, RcBadDirective, QStringLiteral("#pragma %1 expected (\"name\")").arg(Tokens[0].T.Text));
            return;
        }
        const QString name = Tokens[2].T.Text.mid(1, Tokens[2].T.Text.size() - 2);
        std::vector<TMacroPtr>& saved = FPushed[name];
        if (push) {
            saved.push_back(FMacros.value(name));
        } else if (!saved.empty()) {
            if (saved.back())
                FMacros.insert(name, saved.back());
            else
                FMacros.remove(name);
            saved.pop_back();
        }
        return;
    }
    if (!IsIdentifier(Tokens[0].T, "code_page")) return; // other pragmas mean nothing here
    bool ok = Tokens.size() == 4 && Tokens[1].T.IsPunct(u"(") && Tokens[3].T.IsPunct(u")");
    int codePage = 0;
    if (ok && IsIdentifier(Tokens[2].T, "DEFAULT")) {
        codePage = FDefaultCodePage;
    } else if (ok && Tokens[2].T.Kind == TTokenKind::Number) {
        codePage = Tokens[2].T.Text.toInt(&ok);
        ok = ok && codePage != CP_UTF16 && IsValidCodePage(uint32_t(codePage)) && codePage > 1;
    } else {
        ok = false;
    }
    if (!ok) {
        FDiag.Error(Frame.File, Line, RcCodePage, QStringLiteral("invalid code page in #pragma code_page"));
        return;
    }
    Frame.CodePage = codePage;
    if (Frame.DecodeCodePage != 0) Frame.DecodeCodePage = codePage;
}

void TPreprocessor::TImpl::LineDirective(TFrame& Frame, const TPpTokens& Tokens, int Line)
{
    const TPpTokens expanded = Expand(Tokens, false);
    bool ok = !expanded.empty() && expanded[0].T.Kind == TTokenKind::Number;
    const int number = ok ? expanded[0].T.Text.toInt(&ok) : 0;
    if (!ok || number < 0) {
        FDiag.Error(Frame.File, Line, RcBadDirective, QStringLiteral("#line expected a line number"));
        return;
    }
    Frame.Lexer->SetLine(number - 1);
}

// Symbol records ----------------------------------------------------------------------------------

// A decimal or hexadecimal number with at most an L after it: what symbol values are read with.
bool IsSymbolNumber(const QString& Text)
{
    static const QRegularExpression number(QStringLiteral("^(0[xX][0-9A-Fa-f]+|[0-9]+)[lL]?$"));
    return number.match(Text).hasMatch();
}

bool TPreprocessor::TImpl::IsNumericValue(const TTokens& Body) const
{
    TTokens tokens;
    tokens.reserve(Body.size());
    for (const TToken& t : Body) {
        if (t.Kind == TTokenKind::Identifier) {
            if (!FNumericMacros.contains(t.Text) || !FMacros.contains(t.Text)) return false;
            TToken one = t;
            one.Kind = TTokenKind::Number;
            one.Text = QStringLiteral("1");
            tokens.push_back(std::move(one));
        } else if ((t.Kind == TTokenKind::Number && IsSymbolNumber(t.Text)) ||
                   (t.Kind == TTokenKind::Punct && t.Text != QLatin1String("#") && t.Text != QLatin1String("##"))) {
            tokens.push_back(t);
        } else {
            return false;
        }
    }
    QString error;
    int code = 0;
    EvaluateCondition(tokens, error, code);
    return error.isEmpty();
}

void TPreprocessor::TImpl::Record(const QString& A, const QString& B, uint32_t W, bool F)
{
    if (!FOptions.SymbolMode) return;
    auto narrow = [this](const QString& Text) {
        QByteArray bytes;
        try {
            bytes = UnicodeToCodePage(Text, uint32_t(FDefaultCodePage));
        } catch (const Exception&) {
            bytes = Text.toLatin1();
        }
        bytes.replace('\0', '?');
        return bytes;
    };
    FSymbols += narrow(A);
    FSymbols += '\0';
    FSymbols += narrow(B);
    FSymbols += '\0';
    FSymbols += char(W & 0xFF);
    FSymbols += char((W >> 8) & 0xFF);
    FSymbols += char(F ? 1 : 0);
}

void TPreprocessor::TImpl::DefineBuiltin(const QString& Name, const QString& Value, bool SystemOnly)
{
    auto macro = std::make_shared<TMacro>();
    macro->Name = Name;
    macro->Builtin = true;
    macro->SystemOnly = SystemOnly;
    macro->Body = Tokenize(Value, -1);
    if (!macro->Body.empty()) macro->Body.front().SpaceBefore = false;
    FMacros.insert(Name, macro);
}

// TPreprocessor -----------------------------------------------------------------------------------

TPreprocessor::TPreprocessor(const TPreprocessorOptions& Options, TDiagnostics& Diagnostics)
    : FImpl(std::make_unique<TImpl>(Options, Diagnostics))
{
}

TPreprocessor::~TPreprocessor() = default;

TTokens TPreprocessor::Run(const QString& ScriptPath)
{
    TImpl& d = *FImpl;
    d.FFiles.clear();
    d.FFrames.clear();
    d.FMacros.clear();
    d.FOnce.clear();
    d.FPushed.clear();
    d.FGuards.clear();
    d.FOut.clear();
    d.FSymbols.clear();
    d.FExpandedTokens = 0;
    d.FBytesRead = 0;
    d.FExpansions = 0;
    d.FFolderListings.clear();
    d.FDefaultCodePage = d.FOptions.CodePage > 0 ? d.FOptions.CodePage : int(RCAnsiCodePage());
    if (!IsValidCodePage(uint32_t(d.FDefaultCodePage)) || d.FDefaultCodePage <= 1) {
        d.FDiag.Error(-1, 0, RcCodePage, QStringLiteral("invalid code page %1").arg(d.FDefaultCodePage));
        d.FDefaultCodePage = 1252;
    }

    d.DefineBuiltin(QStringLiteral("RC_INVOKED"), QStringLiteral("1"));
    d.DefineBuiltin(QStringLiteral("_WIN32"), QStringLiteral("1"));
    if (d.FOptions.SymbolMode) d.DefineBuiltin(QStringLiteral("APSTUDIO_INVOKED"), QStringLiteral("1"));
    // The mingw-w64 headers, used as an installed SDK, stop at #error without a compiler they know;
    // they see the one they are written for, the script and its own headers do not.
    d.DefineBuiltin(QStringLiteral("__GNUC__"), QStringLiteral("4"), true);
    for (const auto& [name, value] : d.FOptions.Defines)
        if (!name.isEmpty()) d.DefineBuiltin(name, value.isNull() ? QStringLiteral("1") : value);
    for (const QString& name : d.FOptions.Undefines) d.FMacros.remove(name);

    const QFileInfo info(ScriptPath);
    d.FScriptFolder = info.absolutePath();
    QFile file(ScriptPath);
    if (!file.open(QIODevice::ReadOnly))
        d.FDiag.Fatal(-1, 0, RcCannotOpen, QStringLiteral("cannot open file '%1'.").arg(ScriptPath));
    d.Open(ScriptPath, ScriptPath, ScriptPath, 0, false, -1, -1, file.readAll());
    file.close();
    d.Loop();
    return std::move(d.FOut);
}

const std::vector<TSourceFile>& TPreprocessor::Files() const { return FImpl->FFiles; }

QByteArray TPreprocessor::SymbolDefinitions() const
{
    if (!FImpl->FOptions.SymbolMode) return {};
    QByteArray data = FImpl->FSymbols;
    data += "!";
    data += '\0';
    data += '\0';
    data += char(EndOfListLevel & 0xFF);
    data += char(EndOfListLevel >> 8);
    data += '\0';
    return data;
}

QString TPreprocessor::FindFile(const QString& Name, int FromFile) const
{
    const TImpl& d = *FImpl;
    if (FromFile >= 0 && size_t(FromFile) < d.FFiles.size()) {
        const QString& path = d.FFiles[FromFile].Path;
        if (!path.startsWith(QLatin1Char(':'))) {
            const QString found = d.ResolveIn(QFileInfo(path).absolutePath(), Name);
            if (!found.isEmpty()) return found;
        }
    }
    const QString found = d.ResolveIn(d.FScriptFolder, Name);
    if (!found.isEmpty()) return found;
    return d.FindInFolders(Name, d.FOptions.IncludeFolders);
}

bool TPreprocessor::IsDefined(const QString& Name) const { return FImpl->IsDefined(Name); }

QStringList TPreprocessor::BuiltinHeaderNames()
{
    InitBuiltinHeaderResources();
    return QDir(QStringLiteral(":/rcheaders")).entryList(QDir::Files, QDir::Name);
}

} // namespace rc
