// Resource scripts. The writer side: encoders that produce ANSI or UTF-16 script text and escape
// literals as resource compilers read them, the item writers (one per kind, chosen from a registry)
// with the layout operations they share, the three general item writers, the script writer with its
// header files and external files, and the TEXTINCLUDE kind that carries the include information.
#pragma once

#include "koResourceModuleRCWriterPath.h"
#include "koResourcesFiler.h"
#include "koResourcesKinds.h"
#include "koResourcesModule.h"
#include "platform/ClassInfo.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TStream;
class TCustomResourceItem;
class TResourceSymbolFile;
class TCustomRCItemWriter;

// The code page of ANSI script text when a writer is made (1252 unless set); the resource compiler
// reads scripts with the same setting.
uint32_t RCAnsiCodePage();
void SetRCAnsiCodePage(uint32_t CodePage);

// Script text into a stream it does not own.
class TRCEncoder {
public:
    explicit TRCEncoder(TStream& AStream) : FStream(&AStream) {}
    virtual ~TRCEncoder() = default;
    TRCEncoder(const TRCEncoder&) = delete;
    TRCEncoder& operator=(const TRCEncoder&) = delete;

    // The escape of a character without a fixed escape; Wide when the literal is wide.
    virtual QString EscapeChar(QChar C, bool Wide);
    // The prefix of a literal whose characters need a wide literal.
    virtual QString UnicodePrefix();
    virtual void WritePreamble() {}
    // The item's data up to its first zero byte, as text.
    virtual void WriteItemStringData(TCustomResourceItem* Item) = 0;
    virtual void WriteString(const QString& S) = 0;
    virtual void WriteLine(const QString& S) = 0;

    void Write(const void* Data, int64_t Size);
    // S as the body of a string literal, with quotes when Quote. Characters outside 7-bit ASCII make
    // the literal wide (UnicodePrefix: ANSI text must not leave them to the reader's code page, UTF-16
    // text holds them as they are); four-digit escapes and ForceWide (UTF-16 data) always write "L".
    // Very long literals continue on the next line about every 4000 characters.
    QString Escape(const QString& S, bool Quote, bool ForceWide = false);

protected:
    // True when C is written as a four-digit escape, which only a wide literal reads as one character.
    virtual bool NeedsWideEscape(QChar C) { return false; }
    TStream* FStream;
};

class TRCAnsiEncoder : public TRCEncoder {
public:
    explicit TRCAnsiEncoder(TStream& AStream, uint32_t ACodePage = RCAnsiCodePage());
    QString EscapeChar(QChar C, bool Wide) override;
    void WriteItemStringData(TCustomResourceItem* Item) override;
    void WriteString(const QString& S) override;
    void WriteLine(const QString& S) override;
    uint32_t CodePage() const { return FCodePage; }

private:
    uint32_t FCodePage;
};

class TRCUnicodeEncoder : public TRCEncoder {
public:
    using TRCEncoder::TRCEncoder;
    QString EscapeChar(QChar C, bool Wide) override;
    QString UnicodePrefix() override { return {}; }
    void WritePreamble() override;
    void WriteItemStringData(TCustomResourceItem* Item) override;
    void WriteString(const QString& S) override;
    void WriteLine(const QString& S) override;

protected:
    bool NeedsWideEscape(QChar C) override;
};

// What the item writers of one script share: the external file names taken (lower case, "/" between
// folders) and the files to write once the whole script has been made, so a failed save writes none.
struct TRCPendingFile {
    QString FileName;
    QByteArray Data;
    bool Backup = false; // copy the file it replaces to a ".backup" file first
};

struct TRCSaveContext {
    QSet<QString> UsedFileNames;
    std::vector<TRCPendingFile> PendingFiles;
};

// Class-level questions of an item writer.
class TRCItemWriterClassInfo : public TClassInfo {
public:
    virtual bool Handles(TCustomResourceItem* Item) const = 0;
    // An abstract class raises EAssertionFailed.
    virtual std::unique_ptr<TCustomRCItemWriter> Create(const QString& APath) const = 0;

    // After the entries of lower priority, before those of equal or higher priority.
    void Register(int Priority) const;
    // Removes the first entry of the class.
    void Unregister() const;
};
using TRCItemWriterClass = const TRCItemWriterClassInfo*;

template <class T>
class TRCItemWriterClassOf final : public TClassInfoOf<T, TRCItemWriterClassInfo> {
public:
    bool Handles(TCustomResourceItem* Item) const override { return T::Handles(Item); }
    std::unique_ptr<TCustomRCItemWriter> Create(const QString& APath) const override
    {
        if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, const QString&>) {
            return std::make_unique<T>(APath);
        } else {
            AssertionFailure("abstract RC item writer class", __FILE__, __LINE__);
        }
    }
};

// Declares an item writer's class-level plumbing; writers answer Handles with a static function.
#define RC_ITEM_WRITER_CLASS(Class, Base)                                                             \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static const char* StaticClassName() { return #Class; }                                         \
    static TRCItemWriterClass ClassInfo()                                                           \
    {                                                                                               \
        static const TRCItemWriterClassOf<Class> info;                                              \
        return &info;                                                                               \
    }                                                                                               \
    TRCItemWriterClass ClassType() const override { return Class::ClassInfo(); }                   \
                                                                                                    \
private:

// Writes items of one kind as RC statements. One writer writes every item of a type group of a
// script; APath is the script's folder (empty for a script shown in a view).
class TCustomRCItemWriter {
public:
    static const char* StaticClassName() { return "TCustomRCItemWriter"; }
    static TRCItemWriterClass ClassInfo()
    {
        static const TRCItemWriterClassOf<TCustomRCItemWriter> info;
        return &info;
    }
    virtual TRCItemWriterClass ClassType() const { return ClassInfo(); }

    explicit TCustomRCItemWriter(const QString& APath) : FPath(APath) {}
    virtual ~TCustomRCItemWriter() = default;
    TCustomRCItemWriter(const TCustomRCItemWriter&) = delete;
    TCustomRCItemWriter& operator=(const TCustomRCItemWriter&) = delete;

    // The symbol name when the item's name is bound, else its value (see RCNameText).
    virtual QString GetItemName(TCustomResourceItem* Item);
    // The RC keyword of an ordinal type, else the type name (see RCNameText).
    virtual QString GetItemType(TCustomResourceItem* Item);
    // The statements between the header line and the data; none here.
    virtual void WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item) {}
    // Writes one item; SaveExternals false writes no external files.
    virtual void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) = 0;
    static bool Handles(TCustomResourceItem* Item) { return false; }

    // LANGUAGE statements with LANG_ and SUBLANG_ symbols rather than numbers.
    bool SymbolicValues() const { return FSymbolicValues; }
    void SetSymbolicValues(bool Value) { FSymbolicValues = Value; }
    const QString& Path() const { return FPath; }
    int BlockLevel() const { return FBlockLevel; }
    // Not owned; without one, names are not checked against other items and files are written at once.
    TRCSaveContext* SaveContext() const { return FSaveContext; }
    void SetSaveContext(TRCSaveContext* Value) { FSaveContext = Value; }

protected:
    QString GetIndent() const { return QString(2 * FBlockLevel, QLatin1Char(' ')); }
    // Text and spaces up to Width characters, at least one space.
    static QString PadText(const QString& Text, int Width);
    // Encoder may be null: only the level changes then.
    void BeginBlock(TRCEncoder* Encoder, bool WriteKeyword = true, bool Indent = true);
    void EndBlock(TRCEncoder* Encoder, bool WriteKeyword = true, bool Indent = true);
    void WriteLine(TRCEncoder& Encoder, const QString& Text, bool Indent = true);
    void WriteText(TRCEncoder& Encoder, const QString& Text, bool Indent = true);
    // "name TYPE" and, for an item with a file name, the name quoted.
    QString GetItemHeader(TRCEncoder& Encoder, TCustomResourceItem* Item);
    // The header line with Suffix, then the body one level deeper.
    void WriteItem(TRCEncoder& Encoder, TCustomResourceItem* Item, const QString& Suffix = {});
    void WriteOptionalStatements(TRCEncoder& Encoder, TCustomResourceItem* Item);
    void WriteCharacteristics(TRCEncoder& Encoder, TCustomResourceItem* Item);
    void WriteLanguage(TRCEncoder& Encoder, TCustomResourceItem* Item);
    void WriteVersion(TRCEncoder& Encoder, TCustomResourceItem* Item);
    // The stream as an RC data block at the current indentation.
    void WriteData(TRCEncoder& Encoder, TStream& Stream);
    // Writes the file now, or when the script is complete if there is a save context.
    void WriteExternalFile(const QString& FileName, const QByteArray& Data);

    int FBlockLevel = 0;
    QString FPath;
    bool FSymbolicValues = true;
    TRCSaveContext* FSaveContext = nullptr;
};

class TItemWriterEntry {
public:
    TItemWriterEntry(int APriority, TRCItemWriterClass AWriterClass) : Priority(APriority), WriterClass(AWriterClass) {}
    int Priority;
    TRCItemWriterClass WriterClass;
};

// Item writers in ascending priority; the first that handles an item writes it.
class TRCItemWriterDatabase {
public:
    void Add(TRCItemWriterClass WriterClass, int Priority);
    void Remove(TRCItemWriterClass WriterClass);
    // nullptr when no writer handles the item.
    TRCItemWriterClass Find(TCustomResourceItem* Item) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    TRCItemWriterClass Items(int Index) const;

private:
    std::vector<std::unique_ptr<TItemWriterEntry>> FItems;
};

// The single registry, created on first use.
TRCItemWriterDatabase* RCItemWriterDatabase();

// Items that go to a file beside the script, named in the statement: items that have a file name and
// every kind that offers a file type to save. The file name made for an item comes from its type,
// name and language, with every character that could leave the folder or that file systems refuse
// escaped, and is unique among the script's files.
class TRCItemExternalFileWriter : public TCustomRCItemWriter {
    RC_ITEM_WRITER_CLASS(TRCItemExternalFileWriter, TCustomRCItemWriter)

public:
    using TCustomRCItemWriter::TCustomRCItemWriter;
    static bool Handles(TCustomResourceItem* Item);
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;
};

// The last resort: the item's data inline as a data block. A standard type goes under its number, which
// compilers take as raw data of that type: the bitmaps, icons, cursors, manifests... of a kind that
// saves no file come back with their bytes, name and language.
class TRCItemBinaryWriter : public TRCItemExternalFileWriter {
    RC_ITEM_WRITER_CLASS(TRCItemBinaryWriter, TRCItemExternalFileWriter)

public:
    using TRCItemExternalFileWriter::TRCItemExternalFileWriter;
    static bool Handles(TCustomResourceItem*) { return true; }
    // Inline data of a standard type is written under the type's number: the keyword would ask the
    // compiler for that statement's own syntax.
    QString GetItemType(TCustomResourceItem* Item) override;
    void SaveToStream(TRCEncoder& Encoder, TCustomResourceItem* Item, bool SaveExternals) override;
};

class TRCItemRcDataWriter : public TRCItemBinaryWriter {
    RC_ITEM_WRITER_CLASS(TRCItemRcDataWriter, TRCItemBinaryWriter)

public:
    using TRCItemBinaryWriter::TRCItemBinaryWriter;
    static bool Handles(TCustomResourceItem* Item);
    // CHARACTERISTICS, LANGUAGE and VERSION of an item written inline that has characteristics or a
    // version.
    void WriteItemBody(TRCEncoder& Encoder, TCustomResourceItem* Item) override;
};

// Language texts of LANGUAGE statements: numbers, or the module's LANG_ and SUBLANG_ symbols. A
// symbol that the compilers' windows.h lacks is written as its number with the name in a comment.
QString FormatRCLanguage(uint16_t LangID);
QString FormatRCLanguageSymbols(TCustomResourceModule* Module, uint16_t LangID);

// A word that resource compilers read as part of the language wherever it stands.
bool IsRCKeyword(const QString& Word);
// A macro name that windows.h defines for resource compilers (or one of their predefined macros);
// names reserved to the implementation ("__x", "_X") count as macros too.
bool IsRCHeaderMacro(const QString& Name);
// A string name or type as a statement writes it: as it is when compilers read it back as that
// word, else quoted (a keyword, a number, characters outside letters, digits, "_", ".", "/" and "-",
// a comment's start); Wide makes a quoted one a wide literal.
QString RCNameText(const QString& Name, bool Wide = false);
// The words of a name written as it is that the preprocessor would replace: macros of the
// compilers' headers and the module's own symbols (Symbols, when given, lists the latter).
QStringList RCNameMacros(const QString& Name, const QSet<QString>* Symbols);
// Text as a part of a file name that stays in its folder on every file system: characters other than
// ASCII letters, digits, "_" and "-" become "%" and two hex digits per UTF-8 byte; long parts are cut,
// with a hash of the whole so that different texts stay apart.
QString RCFileNamePart(const QString& Text);
// The keyword of an ordinal type in RC statements; the decimal number when it has none.
QString ResourceTypeIDToRCKeyword(uint16_t ID);

class TResourceModuleRC : public TResourceModule {
    Q_OBJECT

public:
    using TResourceModule::TResourceModule;
    // The extension is ".rc" (any case).
    static bool Handles(const QString& FileName);
};

class TResourceModuleWriterRCOptions : public IResourceModuleFilerOptions {
public:
    QObject* GetSettings() override { return nullptr; }
    std::shared_ptr<IResourceModuleFilerOptionsDialog> GetOptionsDialog() override { return nullptr; }
};

class TResourceModuleWriterRC : public TCustomResourceModuleWriter {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleWriterRC, TCustomResourceModuleWriter)

public:
    TResourceModuleWriterRC();
    static bool Handles(TCustomResourceModule* Module, const QString& FileName);
    static void GetEncodings(QStringList& Encodings);
    static std::shared_ptr<IResourceModuleFilerOptions> GetOptions();
    static void RegisterFileTypes();
    // The script into Stream; header files and external files into the folder Path.
    // A failure leaves the module as it was, and writes no file when it comes before the script is
    // complete.
    void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString& Encoding,
                      const QString& Path) override;
    void SaveToFile(TCustomResourceModule* Module, const QString& Filename, const QString& Encoding) override;

    // The stream, from its start, as the lines of an RC data block, each line prefixed by Margin.
    static void WriteData(TRCEncoder& Encoder, TStream& Source, const QString& Margin);
    // The item's data (its file form when its kind saves files) as a data block.
    static void WriteItemData(TRCEncoder& Encoder, TCustomResourceItem* Item, const QString& Margin);
    // The same data up to the first zero byte, written as it is.
    static void WriteRawItemData(TRCEncoder& Encoder, TCustomResourceItem* Item);

    int CodePage() const { return FCodePage; }
    void SetCodePage(int Value) { FCodePage = Value; }
    bool SymbolicValues() const { return FSymbolicValues; }
    void SetSymbolicValues(bool Value) { FSymbolicValues = Value; }
    // The code page of ANSI script and header text.
    uint32_t AnsiCodePage() const { return FAnsiCodePage; }
    void SetAnsiCodePage(uint32_t Value) { FAnsiCodePage = Value; }

private:
    std::unique_ptr<TRCEncoder> CreateEncoder(const QString& Encoding, TStream& Stream) const;
    void WriteBanner(TRCEncoder& Encoder, const QString& Text, bool Closed);
    void WriteSectionEnd(TRCEncoder& Encoder);
    void WriteInclude(TRCEncoder& Encoder, const QString& FileName);
    void SetLanguage(TCustomResourceModule* Module, TRCEncoder& Encoder, uint16_t LangID);
    void RefreshTextIncludes(TCustomResourceModule* Module);
    void WriteAdditionalIncludes(TRCEncoder& Encoder, TCustomResourceModule* Module, const QString& Path);
    void WriteSymbolDefinitions(TRCEncoder& Encoder, TCustomResourceModule* Module, TResourceSymbolFile* File);
    void WriteSymbolFile(TCustomResourceModule* Module, TResourceSymbolFile* File, const QString& Path);
    void WriteItems(TRCEncoder& Encoder, TCustomResourceModule* Module, const QString& Path);
    void WriteScript(TCustomResourceModule* Module, TStream& Stream, const QString& Encoding, const QString& Path);
    void WriteFile(const QString& FileName, const QByteArray& Data);

    uint16_t FCurrentLanguage = 0xFFFF;
    TRCSaveContext* FSaveContext = nullptr;
    bool FStateTaken = false;
    int FCodePage = 0;
    bool FSymbolicValues = true;
    uint32_t FAnsiCodePage;
};

// The include information of a script kept in the module: 1 the primary header's name, 2 the lines
// that include the read-only headers, 3 text copied to the end of the script. Never compiled.
class TResourceItemTextInclude : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TResourceItemTextInclude, TResourceItemGenericPersistable)
    Q_PROPERTY(QString SubType READ SubType)

public:
    explicit TResourceItemTextInclude(const TResourceIdent& AResName);
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    QString SubType() const;

protected:
    bool GetHidden() const override { return true; }
    bool GetDesign() const override { return true; }
};

// --- The reader: scripts are compiled by our own resource compiler into a temporary RES file, which the
// RES reader loads; the module's symbols, header files, bindings and external file names are then rebuilt
// from the compiler's symbol data (HWB) and the TEXTINCLUDE resources.

namespace rc {
class ICompilerHost;
}
class THWBSymbolDefResourceItem;
class TSymbolDefFileItem;

// The compile call: our compiler, unless a test put another function in its place.
using TResourceCompilerFunction = std::function<int(rc::ICompilerHost& Host, const QStringList& Args)>;
// An empty function restores the compiler; returns the previous function.
TResourceCompilerFunction SetResourceCompilerFunction(TResourceCompilerFunction Function);
// Binds the compiler (logging which one), runs it and lets go of it; returns its result (0: success).
int CompileResourceScript(rc::ICompilerHost& Host, const QStringList& Args);

class TResourceModuleReaderRC : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleReaderRC, TCustomResourceModuleReader)

public:
    // The extension ".rc", or else the content test.
    static bool Handles(const QString& FileName);
    // ASCII or UTF-16 text whose first 255 characters hold "#include ", "#define ", "BEGIN" or
    // "LANGUAGE ", or start with "//".
    static bool Handles(TStream* Stream);
    static void RegisterFileTypes();
    // The include folder every compile passes: ATELIER_RC_INCLUDE when set (empty: none), else the
    // mingw-w64 headers when installed; kept only when the folder exists.
    static void LoadDefaultConfig();
    static QString DefaultIncludeFolder();

    // "Operation not applicable": a script is compiled from its file, where its includes are found.
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) override;
    // Raises "RC compilation failed: %s" (the compiler's first error, naming file and line) before
    // anything is made; the temporary RES file is removed in every case.
    std::unique_ptr<TCustomResourceModule> LoadFromFile(const QString& FileName) override;
    // One compiler line: control characters become single spaces; logged with the level its text or
    // the error flag gives; the first error is kept as the failure's text.
    void HandleMessage(bool IsError, const QString& Text);
    const QStringList* Status() const { return FStatus.get(); }
    const QString& ErrorMessage() const { return FErrorMessage; }

    // The rebuild, in the order LoadFromFile runs it. ScriptFolder makes relative header names absolute.
    static void LoadSymbols(TCustomResourceModule* Module);
    static void LoadFileSymbols(TCustomResourceModule* Module, TSymbolDefFileItem* Entry, TResourceSymbolFile* File);
    static void LoadIncludeFiles(TCustomResourceModule* Module, THWBSymbolDefResourceItem* Definitions,
                                 TResourceSymbolFile* File, TSymbolDefFileItem* ParentEntry);
    static void LoadHiddenIncludes(TCustomResourceModule* Module);
    static void BindSymbols(TCustomResourceModule* Module);
    static void LoadExternalFileNames(TCustomResourceModule* Module);
    static void FindPrimaryFile(TCustomResourceModule* Module);
    static void CheckDependencies(TCustomResourceModule* Module, const QString& ScriptFolder);
    // All of the above, then the script file unmodified and NeedFix (with its warning) without HWB 200.
    static void Rebuild(TCustomResourceModule* Module, const QString& ScriptFileName);

private:
    std::unique_ptr<QStringList> FStatus;
    QString FErrorMessage;
};

void koResourceModuleRC_Initialize();
void koResourceModuleRC_Finalize();
