// The preview of RCDATA resources that hold a zlib stream: the data is inflated before the image formats
// look at it.
#pragma once

#include "koResourceViewGraphics.h"

#include "platform/Exceptions.h"

ATELIER_EXCEPTION_CLASS(EZDecompressionError, Exception)

// A zlib header (deflate, window of at most 32 KB, valid check bits) in the next two bytes of Stream;
// the position is kept.
bool IsZlibHeader(TStream& Stream);
// Larger than any picture the picture layer takes: a few bytes of zlib data can claim gigabytes.
inline constexpr int64_t MaxInflatedSize = int64_t(256) << 20;
// The whole zlib stream of Source from its position, inflated into Dest. Damaged or truncated data, and
// data that inflates to more than MaxSize bytes, raise EZDecompressionError.
void ZDecompressStream(TStream& Source, TStream& Dest, int64_t MaxSize = MaxInflatedSize);

class TCompressedBitmapResourceItemView : public TGraphicResourceItemView {
    Q_OBJECT

public:
    using TGraphicResourceItemView::TGraphicResourceItemView;
    QString GetCaption() override;

protected:
    void GetImageData(TCustomResourceItem* Item, TStream& Stream) override;
};

class TCompressedBitmapResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TCompressedBitmapResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewCompressedBitmap_Initialize();
void koResourceViewCompressedBitmap_Finalize();
