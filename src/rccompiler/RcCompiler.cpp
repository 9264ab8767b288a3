#include "RcCompiler.h"

#include "RcDiagnostics.h"
#include "RcParser.h"
#include "RcPreprocessor.h"
#include "RcResWriter.h"
#include "RcSymbolData.h"

#include "../platform/Exceptions.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>

#include <new>

namespace rc {

namespace {

const int rcErrCommandLine = 1001;
const int rcErrOutput = 1002;
const int rcErrInternal = 1003;

struct TCommandLine {
    TPreprocessorOptions Preprocessor;
    bool Verbose = false;
    uint16_t Language = 0;
    QString Output;
    QString Script;
};

// Reads the options; false (with the message in Error) for a malformed command line.
bool ParseCommandLine(const QStringList& Args, TCommandLine& Line, QString& Error)
{
    // The script comes last; an absolute path there starts with "/" like an option.
    qsizetype end = Args.size();
    if (end > 1) {
        const QString& last = Args.last();
        static const QStringList bareOptions{QStringLiteral("/v"), QStringLiteral("/s"), QStringLiteral("/r"),
                                             QStringLiteral("/x")};
        if (!last.startsWith(u'-') && !bareOptions.contains(last, Qt::CaseInsensitive)) {
            Line.Script = last;
            --end;
        }
    }
    for (qsizetype i = 1; i < end; ++i) {
        const QString& arg = Args[i];
        if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-')) {
            Error = QStringLiteral("unexpected argument: %1").arg(arg);
            return false;
        }
        const QString option = arg.mid(1);
        // The value of an option: joined to it, or the next argument.
        auto value = [&](qsizetype Length, QString& Out) {
            if (option.size() > Length) {
                Out = option.mid(Length);
                return true;
            }
            if (i + 1 >= end) {
                Error = QStringLiteral("option %1 needs a value").arg(arg);
                return false;
            }
            Out = Args[++i];
            return true;
        };
        const QChar letter = option[0].toLower();
        QString v;
        if (option.compare(u"v", Qt::CaseInsensitive) == 0) {
            Line.Verbose = true;
        } else if (option.compare(u"s", Qt::CaseInsensitive) == 0) {
            Line.Preprocessor.SymbolMode = true;
        } else if (option.compare(u"r", Qt::CaseInsensitive) == 0) {
            // Compile only: the RES file is all this compiler writes anyway.
        } else if (option.compare(u"x", Qt::CaseInsensitive) == 0) {
            Line.Preprocessor.NoDefaultIncludes = true;
        } else if (option.startsWith(u"fo", Qt::CaseInsensitive)) {
            if (!value(2, Line.Output)) return false;
        } else if (letter == u'd') {
            if (!value(1, v)) return false;
            const qsizetype eq = v.indexOf(u'=');
            if (v.isEmpty() || eq == 0) {
                Error = QStringLiteral("invalid definition: %1").arg(arg);
                return false;
            }
            Line.Preprocessor.Defines.emplace_back(eq < 0 ? v : v.left(eq), eq < 0 ? QString() : v.mid(eq + 1));
        } else if (letter == u'u') {
            if (!value(1, v)) return false;
            Line.Preprocessor.Undefines << v;
        } else if (letter == u'i') {
            if (!value(1, v)) return false;
            Line.Preprocessor.IncludeFolders << v;
        } else if (letter == u'l') {
            if (!value(1, v)) return false;
            bool ok = false;
            const uint language = v.toUInt(&ok, 16);
            if (!ok || language > 0xFFFF) {
                Error = QStringLiteral("invalid language: %1").arg(v);
                return false;
            }
            Line.Language = static_cast<uint16_t>(language);
        } else if (letter == u'c') {
            if (!value(1, v)) return false;
            bool ok = false;
            const int codePage = v.toInt(&ok, 10);
            if (!ok || codePage < 0) {
                Error = QStringLiteral("invalid code page: %1").arg(v);
                return false;
            }
            Line.Preprocessor.CodePage = codePage;
        } else {
            Error = QStringLiteral("unknown option: %1").arg(arg);
            return false;
        }
    }
    if (Line.Script.isEmpty()) {
        Error = QStringLiteral("no script given");
        return false;
    }
    if (Line.Output.isEmpty()) {
        const QFileInfo info(Line.Script);
        Line.Output = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".res");
    }
    return true;
}

// Reports progress a few times per second at most.
class TProgress {
public:
    explicit TProgress(TDiagnostics& Diagnostics) : FDiagnostics(Diagnostics) { FTimer.start(); }
    void Report(int Percent, bool Force = false)
    {
        if (!Force && FTimer.elapsed() < 250) return;
        FTimer.restart();
        FDiagnostics.Progress(Percent);
    }

private:
    TDiagnostics& FDiagnostics;
    QElapsedTimer FTimer;
};

void Compile(TDiagnostics& Diagnostics, const TCommandLine& Line)
{
    TProgress progress(Diagnostics);
    progress.Report(0, true);
    Diagnostics.Info(QStringLiteral("Compiling %1").arg(Line.Script));
    TPreprocessor preprocessor(Line.Preprocessor, Diagnostics);
    const TTokens tokens = preprocessor.Run(Line.Script);
    const std::vector<TSourceFile>& files = preprocessor.Files();
    for (size_t f = 0; f < files.size(); ++f)
        if (Diagnostics.FileName(static_cast<int>(f)).isEmpty())
            Diagnostics.SetFileName(static_cast<int>(f), files[f].Path);
    if (Diagnostics.ErrorCount() > 0) return;
    progress.Report(40);

    TParserOptions options;
    options.Language = Line.Language;
    options.FindFile = [&preprocessor](const QString& Name, int FromFile) { return preprocessor.FindFile(Name, FromFile); };
    options.FileName = [&files](int File) {
        return File >= 0 && static_cast<size_t>(File) < files.size() ? files[File].Written : QString();
    };
    TParser parser(tokens, Diagnostics, options);
    parser.SetProgress([&progress](int Percent) { progress.Report(40 + Percent / 2); });
    parser.ParseScript();
    if (Diagnostics.ErrorCount() > 0) return;

    TCompileResult& result = parser.Result();
    if (Line.Preprocessor.SymbolMode)
        AddSymbolResources(result.Resources, preprocessor.SymbolDefinitions(), result.Files, result.Symbols);
    const QByteArray res = ResFileData(result.Resources);
    QSaveFile out(Line.Output);
    if (!out.open(QIODevice::WriteOnly) || out.write(res) != res.size() || !out.commit())
        Diagnostics.Error(-1, 0, rcErrOutput, QStringLiteral("cannot write %1: %2").arg(Line.Output, out.errorString()));
    else
        Diagnostics.Info(QStringLiteral("Wrote %1 (%2 resources)").arg(Line.Output).arg(result.Resources.size()));
    progress.Report(100, true);
}

} // namespace

int RCW(ICompilerHost& Host, const QStringList& Args)
{
    TDiagnostics diagnostics(Host);
    TCommandLine line;
    QString error;
    if (!ParseCommandLine(Args, line, error)) {
        diagnostics.Error(-1, 0, rcErrCommandLine, error);
        return 1;
    }
    diagnostics.SetVerbose(line.Verbose);
    try {
        Compile(diagnostics, line);
    } catch (const ECompileAbort&) {
        // Reported already.
    } catch (const Exception& e) {
        diagnostics.Error(-1, 0, rcErrInternal, e.Message());
    } catch (const std::bad_alloc&) {
        diagnostics.Error(-1, 0, rcErrInternal, QStringLiteral("out of memory"));
    }
    return diagnostics.ErrorCount() > 0 ? 1 : 0;
}

} // namespace rc
