// Symbols: the named integer constants of a module (#define in RC scripts and header files), the
// identifiers bound to them, and the tree of header files that declare them.
#pragma once

#include "koGenerics.h"
#include "koResourcesItem.h"

#include <QHash>
#include <QObject>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class TResourceSymbol;
class TResourceSymbols;
class TResourceSymbolFile;
class TResourceSymbolFiles;
class TResourceScriptSymbolFile;

// The identifiers bound to one symbol; holds them without owning them.
class TResourceIdentifierList : public TWeakInterfaceList<IResourceSymbolReference> {
public:
    explicit TResourceIdentifierList(TResourceSymbol* ASymbol) : FSymbol(ASymbol) {}
    // Appends, marks the symbol used and tells the reference snSubscribe.
    void Add(IResourceSymbolReference* Reference) override;
    // Takes the reference out and tells it snUnsubscribe.
    void Delete(int Index) override;
    TResourceSymbol* Symbol() const { return FSymbol; }

private:
    TResourceSymbol* FSymbol;
};

class TResourceSymbol : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Symbol READ Symbol)
    Q_PROPERTY(QVariant Value READ Value WRITE SetValue)
    Q_PROPERTY(QString LiteralValue READ LiteralValue WRITE SetLiteralValue)
    Q_PROPERTY(QString Filename READ Filename)
    Q_PROPERTY(bool ReadOnly READ ReadOnly)
    friend class TResourceSymbols;
    friend class TResourceSymbolFileSymbols;

public:
    explicit TResourceSymbol(TResourceSymbols* ACollection);
    ~TResourceSymbol() override;

    const QString& Symbol() const { return FSymbol; }
    // An integer, or the literal text when it could not be evaluated.
    const QVariant& Value() const { return FValue; }
    void SetValue(const QVariant& AValue);
    const QString& LiteralValue() const { return FLiteralValue; }
    void SetLiteralValue(const QString& AValue);
    // The value as text: the number, or the text kept when it could not be evaluated.
    QString ValueText() const;
    bool IsNumeric() const;
    QString Filename() const;
    bool ReadOnly() const;
    QString DisplayName() const; // "NAME = value"

    TResourceIdentifierList* References() const { return FReferences.get(); }
    TResourceSymbolFile* SourceFile() const { return FSourceFile; }
    void SetSourceFile(TResourceSymbolFile* Value);
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool Hidden() const { return FHidden; }
    void SetHidden(bool Value) { FHidden = Value; }
    TResourceSymbols* Collection() const { return FCollection; }

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    // Marks the symbol as used: the file it comes from is no longer included only on demand.
    void Reference();
    // Tells every reference, from the last to the first.
    void NotifyReferences(TResourceSymbolNotification Notification);

    // Text to value: a number ("0x10L", "#12", "42"), else a C expression over the same table, else the
    // text itself (with a warning in the message log).
    QVariant ParseValue(const QString& Text) const;

private:
    void StoreValue(const QString& Literal, const QVariant& AValue);

    QString FSymbol;
    QVariant FValue;
    QString FLiteralValue;
    std::unique_ptr<TResourceIdentifierList> FReferences;
    TResourceSymbolFile* FSourceFile = nullptr;
    bool FModified = false;
    int FUpdateCount = 0;
    bool FHidden = false;
    TResourceSymbols* FCollection;
};

class IResourceSymbolEnumerator {
public:
    virtual ~IResourceSymbolEnumerator() = default;
    virtual TResourceSymbol* GetCurrent() const = 0;
    virtual bool MoveNext() = 0;
};

// The module's symbol table; owns its symbols.
class TResourceSymbols : public QObject {
    Q_OBJECT

public:
    TResourceSymbols() = default;
    ~TResourceSymbols() override;
    TResourceSymbols(const TResourceSymbols&) = delete;
    TResourceSymbols& operator=(const TResourceSymbols&) = delete;

    // The existing symbol of that name, else a new one.
    TResourceSymbol* Add(const QString& Symbol);
    // Exact, case-sensitive; nullptr when none.
    TResourceSymbol* Find(const QString& Symbol) const;
    void Remove(const QString& Symbol);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TResourceSymbol* Items(int Index) const;
    std::unique_ptr<IResourceSymbolEnumerator> GetEnumerator() const;

    // Called when a symbol's value changed (the symbols editor listens).
    std::function<void(TResourceSymbol*)> OnUpdate;
    void Update(TResourceSymbol* Symbol);

private:
    std::vector<std::unique_ptr<TResourceSymbol>> FItems;
    // By name: a load adds every symbol of its headers, and a search per symbol would be quadratic.
    QHash<QString, TResourceSymbol*> FIndex;
};

// The symbols one file defines; lists them without owning them.
class TResourceSymbolFileSymbols {
public:
    explicit TResourceSymbolFileSymbols(TResourceSymbolFile* AFile) : FFile(AFile) {}
    // Ignores a symbol already listed; takes it out of another file first and sets its source file.
    void Add(TResourceSymbol* Symbol);
    // Unlists the symbol and clears its source file.
    void Remove(TResourceSymbol* Symbol);
    TResourceSymbol* Find(const QString& Name) const;
    int Count() const { return static_cast<int>(FList.size()); }
    TResourceSymbol* Items(int Index) const;
    std::unique_ptr<IResourceSymbolEnumerator> GetEnumerator() const;
    TResourceSymbolFile* File() const { return FFile; }

private:
    std::vector<TResourceSymbol*> FList;
    TResourceSymbolFile* FFile;
};

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TResourceSymbolFile : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool Hidden READ Hidden WRITE SetHidden)
    Q_PROPERTY(bool CheckDependencies READ CheckDependencies WRITE SetCheckDependencies)
    Q_PROPERTY(bool Primary READ Primary WRITE SetPrimary)
    friend class TResourceSymbolFiles;

public:
    explicit TResourceSymbolFile(const QString& AFilename = {});
    ~TResourceSymbolFile() override;

    TResourceSymbolFile* ParentFile() const { return FParentFile; }
    // Moves the file into the new parent's Files (a file cannot move below itself).
    void SetParentFile(TResourceSymbolFile* Value);
    const QString& Filename() const { return FFilename; }
    void SetFilename(const QString& Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool Hidden() const { return FHidden; }
    void SetHidden(bool Value);
    bool CheckDependencies() const { return FCheckDependencies; }
    void SetCheckDependencies(bool Value);
    bool IncludeOnDemand() const { return FIncludeOnDemand; }
    void SetIncludeOnDemand(bool Value) { FIncludeOnDemand = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    void Modify() { FModified = true; }

    TResourceSymbolFiles* Files() const { return FFiles.get(); }
    TResourceSymbolFileSymbols* Symbols() const { return FSymbols.get(); }

    TResourceSymbolFile* PrimaryFile() const { return GetPrimaryFile(); }
    void SetPrimaryFile(TResourceSymbolFile* Value) { DoSetPrimaryFile(Value); }
    bool Primary() const { return PrimaryFile() == this; }
    void SetPrimary(bool Value);
    bool Help() const;
    bool Generated() const { return GetGenerated(); }
    QString DisplayName() const { return FFilename; }
    // The script file at the root of this file's tree, or nullptr.
    TResourceScriptSymbolFile* RootFile() const;
    bool Contains(const TResourceSymbolFile* File) const; // File is this file or below it

protected:
    virtual bool GetGenerated() const;
    virtual TResourceSymbolFile* GetPrimaryFile() const;
    virtual void DoSetPrimaryFile(TResourceSymbolFile* Value);
    // Told after a file joins or leaves this file's Files.
    virtual void SymbolFileNotification(TResourceSymbolFile* File, TCollectionNotification Action);
    // A file that leaves the tree for good must not stay named as primary or help file.
    virtual void ForgetFile(TResourceSymbolFile* File) {}

private:
    TResourceSymbolFile* FParentFile = nullptr;
    QString FFilename;
    bool FReadOnly = false;
    bool FHidden = false;
    std::unique_ptr<TResourceSymbolFiles> FFiles;
    std::unique_ptr<TResourceSymbolFileSymbols> FSymbols;
    bool FModified = false;
    bool FCheckDependencies = true;
    bool FIncludeOnDemand = false;
};

// The root of a module's file tree: the script or module itself.
class TResourceScriptSymbolFile : public TResourceSymbolFile {
    Q_OBJECT

public:
    using TResourceSymbolFile::TResourceSymbolFile;
    TResourceSymbolFile* HelpFile() const { return FHelpFile; }
    void SetHelpFile(TResourceSymbolFile* Value);

protected:
    bool GetGenerated() const override { return true; }
    TResourceSymbolFile* GetPrimaryFile() const override;
    void DoSetPrimaryFile(TResourceSymbolFile* Value) override;
    void SymbolFileNotification(TResourceSymbolFile* File, TCollectionNotification Action) override;
    void ForgetFile(TResourceSymbolFile* File) override;

private:
    TResourceSymbolFile* FHelpFile = nullptr;
    TResourceSymbolFile* FPrimaryFile = nullptr;
};

class IResourceSymbolFileEnumerator {
public:
    virtual ~IResourceSymbolFileEnumerator() = default;
    virtual TResourceSymbolFile* GetCurrent() const = 0;
    virtual bool MoveNext() = 0;
};

// The files one file includes; owns them.
class TResourceSymbolFiles {
public:
    explicit TResourceSymbolFiles(TResourceSymbolFile* AFile) : FFile(AFile) {}
    ~TResourceSymbolFiles();
    TResourceSymbolFiles(const TResourceSymbolFiles&) = delete;
    TResourceSymbolFiles& operator=(const TResourceSymbolFiles&) = delete;

    // An existing file anywhere below moves up to this level and is no longer included only on demand.
    TResourceSymbolFile* Add(const QString& Filename, bool ReadOnly = false, bool Hidden = false);
    // Case-insensitive; depth first, each file's own Files right after it when Recurse.
    TResourceSymbolFile* Find(const QString& Filename, bool Recurse) const;
    // Frees the first file of this level with that name.
    void Remove(const QString& Filename);
    int Count() const { return static_cast<int>(FItems.size()); }
    TResourceSymbolFile* Items(int Index) const;
    std::unique_ptr<IResourceSymbolFileEnumerator> GetEnumerator() const;
    TResourceSymbolFile* File() const { return FFile; }

    void Insert(std::unique_ptr<TResourceSymbolFile> File);
    std::unique_ptr<TResourceSymbolFile> Extract(TResourceSymbolFile* File);

private:
    std::vector<std::unique_ptr<TResourceSymbolFile>> FItems;
    TResourceSymbolFile* FFile;
};
