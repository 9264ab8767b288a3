#include "koResourceModulePE.h"

#include "koResourcesKinds.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/PEImage.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
const char* const SOperationNotApplicable = "Operation not applicable";
const char* const SFailedToLoad = "Failed to load resource module: %s";
const char* const SSourceMissing = "Source file does not exist: %s";
const char* const SMultipleMUI = "Multiple MUI items not supported";
const char* const SItemContext = "%1:s (%0:s)";
const char* const SLoading = "Loading";
const char* const SSaving = "Saving";
const char* const SDescription = "PE (Win32) module";
const char* const Extensions[] = {"exe", "dll", "bpl", "cpl", "scr", "ocx", "msstyles", "mui"};

QByteArray ReadWholeFile(const QString& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyNone);
    QByteArray data(static_cast<qsizetype>(file.Size()), Qt::Uninitialized);
    file.ReadBuffer(data.data(), data.size());
    return data;
}

// The bytes of a file, mapped rather than copied where the system allows; Bytes() lives as long as this.
class TFileBytes {
public:
    explicit TFileBytes(const QString& FileName) : FFile(FileName)
    {
        if (FFile.open(QIODevice::ReadOnly) && FFile.size() > 0)
            if (uchar* mapped = FFile.map(0, FFile.size()))
                FBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(FFile.size()));
        if (FBytes.isNull()) FBytes = ReadWholeFile(FileName);
    }
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;
    const QByteArray& Bytes() const { return FBytes; }

private:
    QFile FFile;
    QByteArray FBytes;
};

void RegisterFileTypesOf(TResourceModuleFilerClass filer)
{
    for (const char* ext : Extensions) filer->RegisterFileType(QString::fromLatin1(ext), QString::fromLatin1(SDescription), 0);
}

bool SameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// Writes Data followed by Tail (which may be empty).
void WriteFileAtomically(const QString& FileName, const QByteArray& Data, QFileDevice::Permissions Permissions,
                         const char* Tail = nullptr, int64_t TailSize = 0)
{
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(Data) != Data.size() ||
        (TailSize > 0 && file.write(Tail, TailSize) != TailSize) || !file.commit())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, file.errorString()));
    QFile::setPermissions(FileName, Permissions);
}
} // namespace

// TResourceModulePE

TResourceModulePE::TResourceModulePE(const QString& AFilename) { SetFilename(AFilename); }

bool TResourceModulePE::Handles(const QString& FileName)
{
    const QString ext = ExtractFileExt(FileName).mid(1);
    for (const char* known : Extensions)
        if (SameText(ext, QString::fromLatin1(known))) return true;
    return false;
}

// Reader

bool TResourceModuleReaderPE::Handles(TStream* Stream)
{
    if (!MatchSignature(Stream, "MZ", QByteArray("\xFF\xFF", 2), 0)) return false;
    const int64_t position = Stream->Position();
    QByteArray offsetBytes;
    TFinally restore([&] { Stream->SetPosition(position); });
    Stream->SetPosition(60);
    offsetBytes = Stream->ReadBytes(4);
    if (offsetBytes.size() < 4) return false;
    const uint32_t offset = TBinaryReader(offsetBytes).U32(0, "DOS header");
    return MatchSignature(Stream, QByteArray("PE\0\0", 4), QByteArray(4, char(0xFF)), offset);
}

std::unique_ptr<TCustomResourceModule> TResourceModuleReaderPE::LoadFromStream(TStream&)
{
    throw EInvalidOperation(QString::fromLatin1(SOperationNotApplicable));
}

std::unique_ptr<TCustomResourceModule> TResourceModuleReaderPE::LoadFromFile(const QString& Filename)
{
    const TFileBytes file(Filename);
    const TPEImage image(file.Bytes());
    // A module without resources opens as an empty module. The items copy their data from the file's.
    const QList<TPEResource> resources =
        image.Resources([](const QString& warning) { LogMessage(warning, rmWarning); }, TPEImage::View);
    auto module = std::make_unique<TResourceModulePE>(Filename);
    module->BeforeLoad();
    FProgressMax = static_cast<int>(resources.size());
    FProgressCount = 0;
    DoProgress(psBegin, 0, FProgressMax, QString::fromLatin1(SLoading));
    TFinally end([&] { DoProgress(psEnd, FProgressCount, FProgressMax, QString::fromLatin1(SLoading)); });
    TUpdateGuard batch(module.get());
    TProgressPacer pacer;
    for (const TPEResource& resource : resources) {
        try {
            // A name in the directory stays a name, whatever its text ("#12" too).
            const TResourceIdent type(resource.Type);
            const TResourceIdent name(resource.Name);
            TMessageContextScope context(Format(QString::fromLatin1(SItemContext),
                                                {ResourceIdentToString(name), ResourceTypeToFriendlyName(type)}));
            TCustomMemoryStream data(resource.Data.constData(), resource.Data.size());
            TCustomResourceItem* item = LoadResourceItem(module.get(), type, name, resource.Language, data, data.Size());
            ++FProgressCount;
            if (pacer.Due()) DoProgress(psProgress, FProgressCount, FProgressMax, ResourceItemProgressText(item));
        } catch (const EAbort&) {
            throw;
        } catch (const std::exception& e) {
            const auto* error = dynamic_cast<const Exception*>(&e);
            throw Exception(Format(QString::fromLatin1(SFailedToLoad),
                                   {error ? error->Message() : QString::fromUtf8(e.what())}));
        }
    }
    return module;
}

void TResourceModuleReaderPE::RegisterFileTypes() { RegisterFileTypesOf(ClassInfo()); }

// Writer

bool TResourceModuleWriterPE::Handles(TCustomResourceModule* Module, const QString& FileName)
{
    if (!qobject_cast<TResourceModulePE*>(Module) || !QFileInfo::exists(Module->Filename())) return false;
    // Modules come with many extensions (drivers, MUI files, UEFI images...): whatever the reader took
    // is written back under its own name, its own extension or over another PE file.
    if (TResourceModulePE::Handles(FileName) || SameFile(Module->Filename(), FileName) ||
        SameText(ExtractFileExt(FileName), ExtractFileExt(Module->Filename())))
        return true;
    if (!QFileInfo(FileName).isFile()) return false;
    try {
        TFileStream file(FileName, fmOpenRead | fmShareDenyNone);
        return TResourceModuleReaderPE::Handles(&file);
    } catch (const Exception&) {
        return false;
    }
}

void TResourceModuleWriterPE::SaveToStream(TCustomResourceModule*, TStream&, const QString&, const QString&)
{
    throw EInvalidOperation(QString::fromLatin1(SOperationNotApplicable));
}

void TResourceModuleWriterPE::SaveToFile(TCustomResourceModule* Module, const QString& FileName, const QString&)
{
    ATELIER_ASSERT(qobject_cast<TResourceModulePE*>(Module) != nullptr);
    const QString source = Module->Filename();
    if (!QFileInfo::exists(source)) throw Exception(Format(QString::fromLatin1(SSourceMissing), {source}));
    const TFileBytes sourceFile(source);
    const QByteArray& sourceBytes = sourceFile.Bytes();
    const QFileDevice::Permissions permissions = QFileInfo(source).permissions();

    // The directory is rebuilt whole, so a module's one MUI item needs no pass of its own; two are refused.
    const TResourceIdent mui(QStringLiteral("MUI"));
    if (TCustomResourceItem* first = Module->Find(mui)) {
        for (TCustomResourceItem* item : *Module->Items())
            if (item != first && item->ResourceType() == mui) throw Exception(QString::fromLatin1(SMultipleMUI));
    }

    const std::vector<TCustomResourceItem*> items = WritableResourceItems(Module);
    const int count = static_cast<int>(items.size());
    DoProgress(psBegin, 0, count, QString::fromLatin1(SSaving));
    TFinally end([&] { DoProgress(psEnd, count, count, QString::fromLatin1(SSaving)); });
    QList<TPEResource> resources;
    resources.reserve(count);
    // The new file is built from the streams' own memory, not from copies of it.
    std::vector<std::unique_ptr<TMemoryStream>> streams;
    streams.reserve(items.size());
    int index = 0;
    TProgressPacer pacer;
    for (TCustomResourceItem* item : items) {
        ++index;
        if (pacer.Due()) DoProgress(psProgress, index, count, ResourceItemProgressText(item));
        // A generic item's bytes are the resource as it stands: no stream in between.
        TMemoryStream* data = nullptr;
        if (auto* generic = qobject_cast<TCustomResourceItemGeneric*>(item)) {
            data = generic->Data();
        } else {
            streams.push_back(std::make_unique<TMemoryStream>());
            item->SaveToStream(*streams.back());
            data = streams.back().get();
        }
        resources.append({item->ResourceType(), item->Name(), item->Language(), 0,
                          QByteArray::fromRawData(reinterpret_cast<const char*>(data->Memory()),
                                                  static_cast<qsizetype>(data->Size()))});
    }
    // The unchanged end of the module goes from the source to the new file without a copy in memory.
    const TPEImageParts image = ReplacePEResourcesInParts(sourceBytes, resources, [](const QString& warning) {
        LogMessage(warning, rmWarning);
    });

    if (SameFile(source, FileName)) {
        // The old file stays beside the new one; without it nothing is overwritten.
        const QString backup = FileName + QStringLiteral(".backup");
        WriteFileAtomically(backup, sourceBytes, permissions);
    }
    WriteFileAtomically(FileName, image.Head, permissions, sourceBytes.constData() + image.TailStart, image.TailSize);
}

void TResourceModuleWriterPE::RegisterFileTypes() { RegisterFileTypesOf(ClassInfo()); }

void koResourceModulePE_Initialize()
{
    TResourceModuleReaderPE::ClassInfo()->Register(0);
    TResourceModuleReaderPE::RegisterFileTypes();
    TResourceModuleWriterPE::ClassInfo()->Register(0);
    TResourceModuleWriterPE::RegisterFileTypes();
}

void koResourceModulePE_Finalize()
{
    TResourceModuleWriterPE::ClassInfo()->Unregister();
    TResourceModuleReaderPE::ClassInfo()->Unregister();
}
