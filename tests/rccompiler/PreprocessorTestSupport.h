// Runs the preprocessor over files written into a temporary folder, collecting its messages.
#pragma once

#include "rccompiler/RcPreprocessor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace rc::test {

class TCaptureHost : public ICompilerHost {
public:
    void Line(const QString& Text, bool IsError) override
    {
        Lines << Text;
        if (IsError) ++Errors;
    }
    void Progress(int) override {}

    QStringList Lines;
    int Errors = 0;
};

struct TPpResult {
    TTokens Tokens;
    QStringList Lines;
    int Errors = 0;
    bool Aborted = false;
    std::vector<TSourceFile> Files;
    QByteArray Symbols;

    // The tokens' texts joined with single spaces.
    QString Text() const
    {
        QStringList texts;
        for (const TToken& token : Tokens) texts << token.Text;
        return texts.join(QLatin1Char(' '));
    }
};

class TPpFolder {
public:
    QString Path(const QString& Name) const { return FDir.filePath(Name); }

    void Write(const QString& Name, const QByteArray& Bytes) const
    {
        const QString path = Path(Name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Bytes);
    }

    TPpResult Run(const QString& Script, const TPreprocessorOptions& Options = {}) const
    {
        TCaptureHost host;
        TDiagnostics diagnostics(host);
        TPreprocessor pp(Options, diagnostics);
        TPpResult result;
        try {
            result.Tokens = pp.Run(Path(Script));
        } catch (const ECompileAbort&) {
            result.Aborted = true;
        }
        result.Lines = host.Lines;
        result.Errors = host.Errors;
        result.Files = pp.Files();
        result.Symbols = pp.SymbolDefinitions();
        return result;
    }

    // Writes main.rc and preprocesses it.
    TPpResult Script(const QByteArray& Text, TPreprocessorOptions Options = {}) const
    {
        if (Options.CodePage == 0) Options.CodePage = 1252;
        Write(QStringLiteral("main.rc"), Text);
        return Run(QStringLiteral("main.rc"), Options);
    }

private:
    QTemporaryDir FTemp;
    QDir FDir{FTemp.path()};
};

} // namespace rc::test
