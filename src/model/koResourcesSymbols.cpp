#include "koResourcesSymbols.h"

#include "ExprEval.h"
#include "koResourceEvaluate.h"
#include "koResourcesMessages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

namespace {
[[noreturn]] void RaiseIndexError(int Index) { throw EListError(Format("List index out of bounds (%d)", {Index})); }
} // namespace

// TResourceIdentifierList

void TResourceIdentifierList::Add(IResourceSymbolReference* Reference)
{
    if (IndexOf(Reference) >= 0) return;
    TWeakInterfaceList::Add(Reference);
    FSymbol->Reference();
    Reference->ResourceSymbolNotification(FSymbol, snSubscribe);
}

void TResourceIdentifierList::Delete(int Index)
{
    IResourceSymbolReference* reference = Items(Index);
    TWeakInterfaceList::Delete(Index);
    reference->ResourceSymbolNotification(FSymbol, snUnsubscribe);
}

// TResourceSymbol

TResourceSymbol::TResourceSymbol(TResourceSymbols* ACollection)
    : FReferences(std::make_unique<TResourceIdentifierList>(this)), FCollection(ACollection)
{
}

TResourceSymbol::~TResourceSymbol()
{
    try {
        FReferences->Clear();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    ATELIER_ASSERT(FReferences->Count() == 0);
    if (FSourceFile) FSourceFile->Symbols()->Remove(this);
}

QString TResourceSymbol::ValueText() const
{
    if (FValue.typeId() == QMetaType::Int) return QString::number(FValue.toInt());
    return FValue.toString();
}

bool TResourceSymbol::IsNumeric() const { return FValue.typeId() == QMetaType::Int; }

QString TResourceSymbol::Filename() const { return FSourceFile ? FSourceFile->Filename() : QString(); }

bool TResourceSymbol::ReadOnly() const { return FSourceFile && FSourceFile->ReadOnly(); }

QString TResourceSymbol::DisplayName() const { return Format("%s = %s", {FSymbol, ValueText()}); }

QVariant TResourceSymbol::ParseValue(const QString& Text) const
{
    QString text = Text.trimmed();
    int32_t number = 0;
    bool ok;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        text.remove(0, 2);
        if (text.endsWith(QLatin1Char('L'), Qt::CaseInsensitive)) text.chop(1);
        ok = !text.isEmpty() && TryStrToInt(QStringLiteral("$") + text, number);
    } else if (text.startsWith(QLatin1Char('#'))) {
        ok = TryStrToInt(text.mid(1), number);
    } else {
        ok = TryStrToInt(text, number);
    }
    if (ok) return QVariant(number);
    try {
        return QVariant(EvaluateSymbolExpression(Text, FCollection));
    } catch (const ExpressionEvaluateError& e) {
        LogMessage(e.Message(), rmWarning);
        return QVariant(Text);
    }
}

void TResourceSymbol::StoreValue(const QString& Literal, const QVariant& AValue)
{
    TUpdateGuard batch(this);
    for (int i = 0; i < FReferences->Count(); ++i) FReferences->Items(i)->ValidateValue(AValue);
    FLiteralValue = Literal;
    FValue = AValue;
    if (FCollection) FCollection->Update(this);
}

void TResourceSymbol::SetLiteralValue(const QString& AValue)
{
    if (AValue == FLiteralValue) return;
    TUpdateGuard batch(this);
    StoreValue(AValue, ParseValue(AValue));
}

void TResourceSymbol::SetValue(const QVariant& AValue)
{
    if (AValue == FValue && AValue.typeId() == FValue.typeId()) return;
    const QString literal = AValue.typeId() == QMetaType::Int ? QString::number(AValue.toInt()) : AValue.toString();
    StoreValue(literal, AValue);
}

void TResourceSymbol::SetSourceFile(TResourceSymbolFile* Value)
{
    if (Value == FSourceFile) return;
    TUpdateGuard batch(this);
    if (TResourceSymbolFile* old = FSourceFile) {
        old->Symbols()->Remove(this);
        old->Modify();
    }
    if (Value) Value->Symbols()->Add(this);
}

void TResourceSymbol::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    if (--FUpdateCount > 0) return;
    FModified = true;
    if (FSourceFile) FSourceFile->Modify();
    NotifyReferences(snChanged);
}

void TResourceSymbol::Reference()
{
    if (FSourceFile) FSourceFile->SetIncludeOnDemand(false);
}

void TResourceSymbol::NotifyReferences(TResourceSymbolNotification Notification)
{
    for (int i = FReferences->Count() - 1; i >= 0; --i) {
        if (i >= FReferences->Count()) continue;
        try {
            FReferences->Items(i)->ResourceSymbolNotification(this, Notification);
        } catch (...) {
            if (!HandleApplicationException(std::current_exception())) throw;
        }
    }
}

// TResourceSymbols

TResourceSymbols::~TResourceSymbols() { Clear(); }

TResourceSymbol* TResourceSymbols::Add(const QString& Symbol)
{
    TResourceSymbol* symbol = Find(Symbol);
    if (!symbol) {
        FItems.push_back(std::make_unique<TResourceSymbol>(this));
        symbol = FItems.back().get();
        FIndex.insert(Symbol, symbol);
    }
    symbol->FSymbol = Symbol;
    return symbol;
}

TResourceSymbol* TResourceSymbols::Find(const QString& Symbol) const { return FIndex.value(Symbol, nullptr); }

void TResourceSymbols::Remove(const QString& Symbol)
{
    TResourceSymbol* symbol = Find(Symbol);
    if (!symbol) return;
    FIndex.remove(Symbol);
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (it->get() == symbol) {
            std::unique_ptr<TResourceSymbol> removed = std::move(*it);
            FItems.erase(it);
            return; // destroyed here, after it left the table
        }
}

void TResourceSymbols::Clear()
{
    FIndex.clear();
    while (!FItems.empty()) {
        std::unique_ptr<TResourceSymbol> removed = std::move(FItems.back());
        FItems.pop_back();
    }
}

TResourceSymbol* TResourceSymbols::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
    return FItems[static_cast<size_t>(Index)].get();
}

std::unique_ptr<IResourceSymbolEnumerator> TResourceSymbols::GetEnumerator() const
{
    return std::make_unique<TIndexEnumerator<IResourceSymbolEnumerator, TResourceSymbols, &TResourceSymbols::Items, &TResourceSymbols::Count>>(this);
}

void TResourceSymbols::Update(TResourceSymbol* Symbol)
{
    if (OnUpdate) OnUpdate(Symbol);
}

// TResourceSymbolFileSymbols

void TResourceSymbolFileSymbols::Add(TResourceSymbol* Symbol)
{
    // A symbol is listed exactly by the file it names as its source, so no search is needed.
    if (Symbol->FSourceFile == FFile) return;
    if (Symbol->FSourceFile) Symbol->FSourceFile->Symbols()->Remove(Symbol);
    FList.push_back(Symbol);
    Symbol->FSourceFile = FFile;
}

void TResourceSymbolFileSymbols::Remove(TResourceSymbol* Symbol)
{
    auto it = std::find(FList.begin(), FList.end(), Symbol);
    if (it == FList.end()) return;
    FList.erase(it);
    if (Symbol->FSourceFile == FFile) Symbol->FSourceFile = nullptr;
}

TResourceSymbol* TResourceSymbolFileSymbols::Find(const QString& Name) const
{
    for (TResourceSymbol* symbol : FList)
        if (symbol->Symbol() == Name) return symbol;
    return nullptr;
}

TResourceSymbol* TResourceSymbolFileSymbols::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
    return FList[static_cast<size_t>(Index)];
}

std::unique_ptr<IResourceSymbolEnumerator> TResourceSymbolFileSymbols::GetEnumerator() const
{
    return std::make_unique<TIndexEnumerator<IResourceSymbolEnumerator, TResourceSymbolFileSymbols,
                                             &TResourceSymbolFileSymbols::Items, &TResourceSymbolFileSymbols::Count>>(this);
}

// TResourceSymbolFile

TResourceSymbolFile::TResourceSymbolFile(const QString& AFilename)
    : FFilename(AFilename),
      FFiles(std::make_unique<TResourceSymbolFiles>(this)),
      FSymbols(std::make_unique<TResourceSymbolFileSymbols>(this))
{
}

TResourceSymbolFile::~TResourceSymbolFile()
{
    for (int i = FSymbols->Count() - 1; i >= 0; --i) FSymbols->Remove(FSymbols->Items(i));
    FFiles.reset();
    FSymbols.reset();
}

void TResourceSymbolFile::SetParentFile(TResourceSymbolFile* Value)
{
    if (Value == FParentFile) return;
    ATELIER_ASSERT(Value != nullptr && !Contains(Value));
    std::unique_ptr<TResourceSymbolFile> self = FParentFile ? FParentFile->Files()->Extract(this) : nullptr;
    ATELIER_ASSERT(self != nullptr);
    Value->Files()->Insert(std::move(self));
}

void TResourceSymbolFile::SetFilename(const QString& Value)
{
    if (Value == FFilename) return;
    FFilename = Value;
    Modify();
    if (FParentFile) FParentFile->Modify();
}

void TResourceSymbolFile::SetReadOnly(bool Value)
{
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    Modify();
}

void TResourceSymbolFile::SetHidden(bool Value)
{
    if (Value == FHidden) return;
    FHidden = Value;
    Modify();
}

void TResourceSymbolFile::SetCheckDependencies(bool Value)
{
    if (Value == FCheckDependencies) return;
    FCheckDependencies = Value;
    Modify();
}

void TResourceSymbolFile::SetPrimary(bool Value)
{
    if (Value)
        SetPrimaryFile(this);
    else if (Primary())
        SetPrimaryFile(nullptr);
}

bool TResourceSymbolFile::Help() const
{
    auto* script = qobject_cast<TResourceScriptSymbolFile*>(FParentFile);
    return script && script->HelpFile() == this;
}

TResourceScriptSymbolFile* TResourceSymbolFile::RootFile() const
{
    const TResourceSymbolFile* file = this;
    while (file->FParentFile) file = file->FParentFile;
    return qobject_cast<TResourceScriptSymbolFile*>(const_cast<TResourceSymbolFile*>(file));
}

bool TResourceSymbolFile::Contains(const TResourceSymbolFile* File) const
{
    for (const TResourceSymbolFile* f = File; f; f = f->FParentFile)
        if (f == this) return true;
    return false;
}

bool TResourceSymbolFile::GetGenerated() const { return Primary() || Help(); }

TResourceSymbolFile* TResourceSymbolFile::GetPrimaryFile() const
{
    return FParentFile ? FParentFile->GetPrimaryFile() : nullptr;
}

void TResourceSymbolFile::DoSetPrimaryFile(TResourceSymbolFile* Value)
{
    if (FParentFile) FParentFile->DoSetPrimaryFile(Value);
}

void TResourceSymbolFile::SymbolFileNotification(TResourceSymbolFile* File, TCollectionNotification Action)
{
    if (Action == cnAdded) return;
    if (File->FParentFile == this) File->FParentFile = nullptr;
    // A file freed anywhere in the tree must not stay named by the script file.
    if (Action == cnDeleting)
        if (TResourceSymbolFile* root = RootFile()) root->ForgetFile(File);
}

// TResourceScriptSymbolFile

void TResourceScriptSymbolFile::SetHelpFile(TResourceSymbolFile* Value)
{
    FHelpFile = Value;
    Modify();
}

TResourceSymbolFile* TResourceScriptSymbolFile::GetPrimaryFile() const
{
    return FPrimaryFile ? FPrimaryFile : const_cast<TResourceScriptSymbolFile*>(this);
}

void TResourceScriptSymbolFile::DoSetPrimaryFile(TResourceSymbolFile* Value)
{
    FPrimaryFile = Value;
    Modify();
}

void TResourceScriptSymbolFile::SymbolFileNotification(TResourceSymbolFile* File, TCollectionNotification Action)
{
    TResourceSymbolFile::SymbolFileNotification(File, Action);
    if (Action != cnAdded) ForgetFile(File);
}

void TResourceScriptSymbolFile::ForgetFile(TResourceSymbolFile* File)
{
    if (FPrimaryFile && File->Contains(FPrimaryFile)) FPrimaryFile = nullptr;
    if (FHelpFile && File->Contains(FHelpFile)) FHelpFile = nullptr;
}

// TResourceSymbolFiles

TResourceSymbolFiles::~TResourceSymbolFiles()
{
    while (!FItems.empty()) {
        std::unique_ptr<TResourceSymbolFile> file = std::move(FItems.back());
        FItems.pop_back();
        FFile->SymbolFileNotification(file.get(), cnDeleting);
    }
}

TResourceSymbolFile* TResourceSymbolFiles::Add(const QString& Filename, bool ReadOnly, bool Hidden)
{
    TResourceSymbolFile* file = Find(Filename, true);
    if (file) {
        file->FIncludeOnDemand = false;
        file->SetParentFile(FFile);
    } else {
        Insert(std::make_unique<TResourceSymbolFile>(Filename));
        file = FItems.back().get();
    }
    file->FReadOnly = ReadOnly;
    file->FHidden = Hidden;
    return file;
}

TResourceSymbolFile* TResourceSymbolFiles::Find(const QString& Filename, bool Recurse) const
{
    for (const auto& file : FItems) {
        if (SameText(file->Filename(), Filename)) return file.get();
        if (Recurse)
            if (TResourceSymbolFile* found = file->Files()->Find(Filename, true)) return found;
    }
    return nullptr;
}

void TResourceSymbolFiles::Remove(const QString& Filename)
{
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (SameText((*it)->Filename(), Filename)) {
            std::unique_ptr<TResourceSymbolFile> file = std::move(*it);
            FItems.erase(it);
            FFile->SymbolFileNotification(file.get(), cnDeleting);
            return;
        }
}

TResourceSymbolFile* TResourceSymbolFiles::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
    return FItems[static_cast<size_t>(Index)].get();
}

std::unique_ptr<IResourceSymbolFileEnumerator> TResourceSymbolFiles::GetEnumerator() const
{
    return std::make_unique<TIndexEnumerator<IResourceSymbolFileEnumerator, TResourceSymbolFiles,
                                             &TResourceSymbolFiles::Items, &TResourceSymbolFiles::Count>>(this);
}

void TResourceSymbolFiles::Insert(std::unique_ptr<TResourceSymbolFile> File)
{
    TResourceSymbolFile* file = File.get();
    FItems.push_back(std::move(File));
    file->FParentFile = FFile;
    FFile->SymbolFileNotification(file, cnAdded);
}

std::unique_ptr<TResourceSymbolFile> TResourceSymbolFiles::Extract(TResourceSymbolFile* File)
{
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (it->get() == File) {
            std::unique_ptr<TResourceSymbolFile> file = std::move(*it);
            FItems.erase(it);
            FFile->SymbolFileNotification(File, cnExtracting);
            return file;
        }
    return nullptr;
}
