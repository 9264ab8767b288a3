#include "koResourceItemPE.h"

#include "model/koResources.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

namespace {
const char* const SUnsupportedModuleType = "Unsupported module type";
const char* const ModuleExtensions[] = {"exe", "dll", "bpl", "cpl", "scr", "ocx", "msstyles", "mui"};
// Where a DOS header keeps the offset of the newer header that follows it.
constexpr int64_t NewHeaderOffsetField = 0x3C;
} // namespace

TPEResourceItem::TPEResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent(QStringLiteral("MODULE")), AResName)
{
}

bool TPEResourceItem::HandlesFile(const QString&, TStream* Data)
{
    return Data && MatchSignature(Data, QByteArrayLiteral("MZ"), {}, 0);
}

TResourceItemGlyphHandle TPEResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_MODULE_MZ_ITEM"), QStringLiteral("module.mz.item"));
    return inherited::GetGlyph(Kind);
}

QString TPEResourceItem::KindText() const
{
    switch (FKind) {
    case pmkPE: return QStringLiteral("PE (Win32) module");
    case pmkMZ: return QStringLiteral("MZ (DOS) module");
    case pmkNE: return QStringLiteral("NE (Win16) module");
    case pmkLE: return QStringLiteral("LE (VxD) module");
    }
    return {};
}

void TPEResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FKind = pmkPE;
}

void TPEResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    const QByteArray bytes = Data()->ToByteArray();
    const TBinaryReader data(bytes);
    if (!bytes.startsWith("MZ")) throw Exception(QString::fromLatin1(SUnsupportedModuleType));
    FKind = pmkMZ;
    const std::optional<uint32_t> header = data.TryU32(NewHeaderOffsetField);
    if (!header) return;
    const int64_t at = *header;
    if (data.Has(at, 4) && data.Bytes(at, 4) == QByteArray("PE\0\0", 4))
        FKind = pmkPE;
    else if (data.Has(at, 2) && data.Bytes(at, 2) == "LE")
        FKind = pmkLE;
    else if (data.Has(at, 2) && data.Bytes(at, 2) == "NE")
        FKind = pmkNE;
}

void koResourceItemPE_Initialize()
{
    TPEResourceItem::ClassInfo()->Register(255);
    for (const char* ext : ModuleExtensions)
        TPEResourceItem::ClassInfo()->RegisterFileType(QString::fromLatin1(ext), QStringLiteral("PE (Win32) module"), {fcLoad}, 0);
}

void koResourceItemPE_Finalize() { TPEResourceItem::ClassInfo()->Unregister(); }
