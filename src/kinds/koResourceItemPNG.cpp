#include "koResourceItemPNG.h"

#include "model/koResources.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>

namespace {
const QByteArray& PNGSignature()
{
    static const QByteArray s("\x89PNG\r\n\x1A\n", 8);
    return s;
}
} // namespace

TPNGResourceItem::TPNGResourceItem(const TResourceIdent& AResName)
    : TCustomGraphicResourceItem(TResourceIdent(QStringLiteral("PNG")), AResName), FImage(std::make_unique<TPngImage>())
{
    ResetImage();
}

TPNGResourceItem::~TPNGResourceItem() = default;

bool TPNGResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return MatchSignature(Data, PNGSignature(), {}, 0);
}

bool TPNGResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return QFileInfo(Filename).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0 ||
           MatchSignature(Data, PNGSignature(), {}, 0);
}

TResourceItemGlyphHandle TPNGResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_PNG_ITEM"), QStringLiteral("png.item"));
    return inherited::GetGlyph(Kind);
}

void TPNGResourceItem::ResetImage()
{
    FSize = -1;
    FImage->CreateBlank(COLOR_RGBALPHA, 8, 64, 64);
}

void TPNGResourceItem::SetImage(const TPngImage& Value)
{
    TUpdateGuard<TPNGResourceItem> batch(this);
    FSize = -1;
    *FImage = Value;
}

void TPNGResourceItem::SetWidth(int Value)
{
    if (Value == FImage->Width()) return;
    TUpdateGuard<TPNGResourceItem> batch(this);
    // New columns are zero samples: transparent where the image has alpha, untouched alpha otherwise.
    FSize = -1;
    FImage->SetSize(Value, FImage->Height());
}

void TPNGResourceItem::SetHeight(int Value)
{
    if (Value == FImage->Height()) return;
    TUpdateGuard<TPNGResourceItem> batch(this);
    FSize = -1;
    FImage->SetSize(FImage->Width(), Value);
}

void TPNGResourceItem::AssignBitmap(const TBitmap& Bitmap)
{
    TUpdateGuard<TPNGResourceItem> batch(this);
    const bool alpha = Bitmap.PixelFormat() == pf32bit;
    QImage image = Bitmap.ToQImage();
    if (alpha) {
        // The alpha bytes as they are, whatever the bitmap's alpha format says.
        for (int y = 0; y < Bitmap.Height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < Bitmap.Width(); ++x)
                line[x] = (line[x] & 0x00FFFFFFu) | (QRgb(Bitmap.PixelAlpha(x, y)) << 24);
        }
    }
    FSize = -1;
    FImage->AssignImage(image, alpha);
}

TBitmap TPNGResourceItem::ToBitmap() const
{
    TBitmap bitmap = TBitmap::FromQImage(FImage->ToQImage());
    if (FImage->TransparencyMode() == ptmNone && bitmap.PixelFormat() == pf32bit) bitmap.SetPixelFormat(pf24bit);
    return bitmap;
}

void TPNGResourceItem::Clear()
{
    TUpdateGuard<TPNGResourceItem> batch(this);
    ResetImage();
}

void TPNGResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard<TPNGResourceItem> batch(this);
    Clear();
    const QByteArray data = Stream.ReadBytes(Size);
    if (data.size() < Size) throw EReadError(QStringLiteral("Stream read error"));
    TBytesStream memory(data);
    TPngImage image;
    image.LoadFromStream(memory);
    FSize = -1;
    *FImage = std::move(image);
}

void TPNGResourceItem::SaveToStream(TStream& Stream) { FImage->SaveToStream(Stream); }

void TPNGResourceItem::InitializeNewItem()
{
    TUpdateGuard<TPNGResourceItem> batch(this);
    inherited::InitializeNewItem();
    ResetImage();
}

TColorDepth TPNGResourceItem::GetColorDepth() const { return FImage->TransparencyMode() != ptmNone ? 32 : 24; }

int TPNGResourceItem::GetSize() const
{
    if (FSize < 0) {
        TMemoryStream data;
        FImage->SaveToStream(data);
        FSize = static_cast<int>(data.Size());
    }
    return FSize;
}

TResourceItemTransparencyMethod TPNGResourceItem::GetTransparencyMethod()
{
    return FImage->TransparencyMode() != ptmNone ? rtmAlpha : rtmNone;
}

void TPNGResourceItem::GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                                  std::unique_ptr<TBitmap>& InverseMask)
{
    Mask.reset();
    InverseMask.reset();
    Bitmap = std::make_unique<TBitmap>(ToBitmap());
}

void TPNGResourceItem::SetBitmaps(const TBitmap& Bitmap, const TBitmap*, const TBitmap*) { AssignBitmap(Bitmap); }

void koResourceItemPNG_Initialize()
{
    TPNGResourceItem::ClassInfo()->Register(255);
    TPNGResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("png"), QStringLiteral("PNG images"), {fcLoad, fcSave}, 0);
}

void koResourceItemPNG_Finalize() { TPNGResourceItem::ClassInfo()->Unregister(); }
