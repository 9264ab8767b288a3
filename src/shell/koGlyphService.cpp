#include "shell/koGlyphService.h"

#include "model/koResourcesItem.h"
#include "platform/Exceptions.h"
#include "bitmapeditor/koGraphics32Color.h"

#include <QFile>
#include <QPixmap>

namespace {

// Only A to Z fold: identifiers and resource names compare as the platform compares them.
QString AsciiUpper(const QString& s)
{
    QString result = s;
    for (QChar& c : result)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return result;
}

bool SameIdent(const QString& a, const QString& b)
{
    return a.size() == b.size() && AsciiUpper(a) == AsciiUpper(b);
}

// Which states may stand in for a missing one.
bool StateAllowed(TGlyphState wanted, TGlyphState source)
{
    return wanted == source || source == gsNormal;
}

QImage Stretched(const QImage& image, int width, int height)
{
    if (image.width() == width && image.height() == height)
        return image;
    // A key-coloured bitmap must keep its key colour exact, so only alpha images are filtered.
    const Qt::TransformationMode mode =
        image.hasAlphaChannel() ? Qt::SmoothTransformation : Qt::FastTransformation;
    return image.scaled(width, height, Qt::IgnoreAspectRatio, mode);
}

std::shared_ptr<IGlyphService>& SharedService()
{
    static std::shared_ptr<IGlyphService> service;
    return service;
}

} // namespace

#ifdef ATELIER_GLYPH_RESOURCES
// The resource object of a static library is linked only when something refers to it.
static void InitGlyphResources() { Q_INIT_RESOURCE(glyphs); }
#endif

int GlyphPixels(TGlyphSize size)
{
    static constexpr int pixels[] = {16, 22, 32};
    return pixels[size];
}

TGlyphList::TGlyphContainer& TGlyphList::Container(TGlyphSize size, TGlyphState state)
{
    return FGlyphs[size][state];
}

TImageList& TGlyphList::List(TGlyphSize size, TGlyphState state)
{
    TGlyphContainer& container = Container(size, state);
    if (!container.ImageList)
        container.ImageList = std::make_unique<TImageList>(GlyphPixels(size), GlyphPixels(size));
    return *container.ImageList;
}

int TGlyphList::IndexOf(const QString& ident) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (SameIdent(FGlyphIdents[i], ident))
            return i;
    return -1;
}

QString TGlyphList::Ident(TGlyphHandle handle) const
{
    return handle >= 0 && handle < Count() ? FGlyphIdents[handle] : QString();
}

bool TGlyphList::IsSynthesized(TGlyphHandle handle, TGlyphSize size, TGlyphState state) const
{
    if (handle < 0 || handle >= Count())
        return false;
    const TGlyphContainer& container = FGlyphs[size][state];
    return container.Map[size_t(handle)] != -1 && container.Synthesized[size_t(handle)];
}

TGlyphHandle TGlyphList::AddGlyph(const QImage& glyph, const QString& ident, TGlyphSize size,
                                  TGlyphState state)
{
    int handle = IndexOf(ident);
    if (handle < 0) {
        FGlyphIdents.append(ident);
        handle = Count() - 1;
        for (auto& row : FGlyphs)
            for (TGlyphContainer& container : row) {
                container.Map.push_back(-1);
                container.Synthesized.push_back(false);
            }
    }
    TGlyphContainer& container = Container(size, state);
    const size_t h = size_t(handle);
    if (container.Map[h] != -1 && !container.Synthesized[h])
        return handle;

    TImageList& list = List(size, state);
    QImage work = Stretched(glyph, list.Width(), list.Height());
    if (work.hasAlphaChannel()) {
        work = work.convertToFormat(QImage::Format_ARGB32);
    } else {
        // A bitmap without alpha is transparent where it has the colour of its bottom-left pixel.
        work = work.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = work.isNull() ? 0 : work.pixel(0, work.height() - 1) & 0x00FFFFFFu;
        for (int y = 0; y < work.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(work.scanLine(y));
            for (int x = 0; x < work.width(); ++x)
                line[x] = (line[x] & 0x00FFFFFFu) == key ? 0 : (line[x] | 0xFF000000u);
        }
    }
    if (container.Map[h] == -1)
        container.Map[h] = list.Add(work);
    else
        list.Replace(container.Map[h], work);
    container.Synthesized[h] = false;
    return handle;
}

TGlyphHandle TGlyphList::FindGlyph(const QString& ident, TGlyphSize size, TGlyphState state) const
{
    const int handle = IndexOf(ident);
    if (handle < 0)
        return -1;
    const TGlyphContainer& container = FGlyphs[size][state];
    return container.Map[size_t(handle)] != -1 && !container.Synthesized[size_t(handle)] ? handle : -1;
}

bool TGlyphList::MakeFrom(TGlyphHandle handle, TGlyphSize size, TGlyphState state, TGlyphSize fromSize,
                          TGlyphState fromState, QImage& glyph)
{
    const TGlyphContainer& source = Container(fromSize, fromState);
    const size_t h = size_t(handle);
    if (source.Map[h] == -1 || source.Synthesized[h] || !source.ImageList)
        return false;
    QImage scratch;
    if (!GetImageListBitmap(*source.ImageList, source.Map[h], scratch))
        return false;
    TImageList& list = List(size, state);
    glyph = Stretched(scratch, list.Width(), list.Height()).convertToFormat(QImage::Format_ARGB32);
    if (state == gsDisabled && fromState == gsNormal)
        AdjustHSLBitmap(glyph, glyph, 0, -255, 32);
    TGlyphContainer& container = Container(size, state);
    container.Map[h] = list.Add(glyph);
    container.Synthesized[h] = true;
    return true;
}

bool TGlyphList::GetGlyph(TGlyphHandle handle, TGlyphSize size, QImage& glyph, TGlyphState state)
{
    if (handle < 0 || handle >= Count())
        throw Exception(QStringLiteral("Invalid glyph handle"));
    if (glyph.format() != QImage::Format_ARGB32)
        glyph = glyph.convertToFormat(QImage::Format_ARGB32);
    TImageList& list = List(size, state);
    const TGlyphContainer& container = Container(size, state);
    if (container.Map[size_t(handle)] != -1)
        return GetImageListBitmap(list, container.Map[size_t(handle)], glyph);

    static constexpr TGlyphState states[] = {gsNormal, gsDisabled, gsHot};
    for (TGlyphState other : states)
        if (other != state && StateAllowed(state, other) && MakeFrom(handle, size, state, size, other, glyph))
            return true;
    for (int s = gsLarge; s >= gsSmall; --s) {
        const auto otherSize = TGlyphSize(s);
        if (otherSize == size)
            continue;
        if (MakeFrom(handle, size, state, otherSize, state, glyph))
            return true;
        for (TGlyphState other : states)
            if (other != state && StateAllowed(state, other) &&
                MakeFrom(handle, size, state, otherSize, other, glyph))
                return true;
    }
    return false;
}

std::optional<QByteArray> FindProgramBitmap(const QString& resName)
{
    QFile file(QStringLiteral(":/res/BITMAP/") + AsciiUpper(resName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

TGlyphService::TGlyphService(TBitmapResourceFinder finder) : FFinder(std::move(finder)) {}

TGlyphHandle TGlyphService::AddGlyph(const QImage& glyph, const QString& ident, TGlyphSize size,
                                     TGlyphState state)
{
    return FGlyphs.AddGlyph(glyph, ident, size, state);
}

TGlyphHandle TGlyphService::LoadGlyph(const QString& resName, const QString& ident, TGlyphSize size,
                                      TGlyphState state)
{
    const TGlyphHandle found = FGlyphs.FindGlyph(ident, size, state);
    if (found != -1)
        return found;
    const std::optional<QByteArray> data = FFinder ? FFinder(resName) : std::nullopt;
    if (!data)
        return -1;
    QImage bitmap;
    if (!bitmap.loadFromData(*data))
        return -1;
    return FGlyphs.AddGlyph(bitmap, ident, size, state);
}

bool TGlyphService::GetGlyph(TGlyphHandle handle, TGlyphSize size, QImage& glyph, TGlyphState state)
{
    return FGlyphs.GetGlyph(handle, size, glyph, state);
}

TGlyphHandle TGlyphService::FindGlyph(const QString& ident, TGlyphSize size, TGlyphState state)
{
    return FGlyphs.FindGlyph(ident, size, state);
}

std::shared_ptr<IGlyphService> CreateGlyphService()
{
    return std::make_shared<TGlyphService>();
}

std::shared_ptr<IGlyphService> GlyphService()
{
    std::shared_ptr<IGlyphService>& service = SharedService();
    if (!service)
        service = CreateGlyphService();
    return service;
}

QIcon GlyphIcon(IGlyphService& service, TGlyphHandle handle)
{
    static constexpr std::pair<TGlyphState, QIcon::Mode> modes[] = {
        {gsNormal, QIcon::Normal}, {gsDisabled, QIcon::Disabled}, {gsHot, QIcon::Active}};
    QIcon icon;
    for (int s = gsSmall; s <= gsLarge; ++s)
        for (const auto& [state, mode] : modes) {
            QImage image;
            if (service.GetGlyph(handle, TGlyphSize(s), image, state))
                icon.addPixmap(QPixmap::fromImage(image), mode);
        }
    return icon;
}

void koGlyphService_Initialize()
{
#ifdef ATELIER_GLYPH_RESOURCES
    InitGlyphResources();
#endif
    SetResourceGlyphLoader([](const QString& resName, const QString& ident) {
        return GlyphService()->LoadGlyph(resName, ident, gsSmall, gsNormal);
    });
}

void koGlyphService_Finalize()
{
    SetResourceGlyphLoader({});
    SharedService().reset();
}
