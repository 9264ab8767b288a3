#include "koResourceItemManifest.h"

#include "kinds/koResourceItemString.h"
#include "model/koResources.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <iterator>

TManifestResourceItem::TManifestResourceItem(const TResourceIdent& AResName)
    : TResourceItem(TResourceIdent::FromOrdinal(RT_MANIFEST), AResName)
{
}

bool TManifestResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_MANIFEST);
}

bool TManifestResourceItem::HandlesFile(const QString&, TStream* Data)
{
    if (!Data || !MatchSignature(Data, QByteArrayLiteral("<?xml"), {}, 0)) return false;
    const int64_t start = Data->Position();
    const QByteArray head = Data->ReadBytes(80);
    Data->SetPosition(start);
    if (!head.contains("<assembly")) return false;
    const bool ascii = IsASCIIText(*Data);
    Data->SetPosition(start);
    return ascii;
}

TResourceItemGlyphHandle TManifestResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_MANIFEST_TYPE"), QStringLiteral("manifest.type"));
    return LoadResourceGlyph(QStringLiteral("RES_MANIFEST_ITEM"), QStringLiteral("manifest.item"));
}

void TManifestResourceItem::Clear()
{
    TUpdateGuard batch(this);
    TResourceItem::Clear();
    FData.clear();
}

void TManifestResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    Clear();
    QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) bytes.truncate(zero);
    FData = bytes;
}

void TManifestResourceItem::SaveToStream(TStream& Stream)
{
    if (!FData.isEmpty()) Stream.WriteBuffer(FData.constData(), FData.size());
}

void TManifestResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    TResourceItem::InitializeNewItem();
    FData = ManifestTemplate();
}

QByteArray ManifestTemplate()
{
    static const char* const Lines[] = {
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>)",
        "",
        R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
        "  <assemblyIdentity",
        R"(    name="Your.Application")",
        R"(    version="1.0.0.0")",
        R"(    type="win32")",
        R"(    processorArchitecture="*" />)",
        "  <description></description>",
        "  <dependency>",
        "    <dependentAssembly>",
        "      <assemblyIdentity",
        R"(        name="Microsoft.Windows.Common-Controls")",
        R"(        version="6.0.0.0")",
        R"(        type="win32")",
        R"(        processorArchitecture="x86")",
        R"(        publicKeyToken="6595b64144ccf1df")",
        R"(        language="*" />)",
        "    </dependentAssembly>",
        "  </dependency>",
        R"(  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">)",
        "    <security>",
        "      <requestedPrivileges>",
        "        <requestedExecutionLevel",
        R"(          level="asInvoker")",
        R"(          uiAccess="false"/>)",
        "      </requestedPrivileges>",
        "    </security>",
        "  </trustInfo>",
        "</assembly>",
    };
    QByteArray result;
    for (size_t i = 0; i < std::size(Lines); ++i) {
        if (i > 0) result += '\r';
        result += Lines[i];
    }
    return result;
}

void koResourceItemManifest_Initialize()
{
    TManifestResourceItem::ClassInfo()->Register(0);
    TManifestResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("manifest"), QStringLiteral("Manifest"), {fcLoad, fcSave}, 0);
    TManifestResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("xml"), QStringLiteral("XML files"), {fcLoad, fcSave}, 255);
}

void koResourceItemManifest_Finalize() { TManifestResourceItem::ClassInfo()->Unregister(); }
