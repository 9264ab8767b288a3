#pragma once

// The small pictures of the user interface under textual identifiers, in three sizes and three
// states. Missing sizes and states are made once from a real image and kept.

#include "shell/koImageList.h"

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum TGlyphSize { gsSmall, gsMedium, gsLarge };
enum TGlyphState { gsNormal, gsDisabled, gsHot };
using TGlyphHandle = int;

// The side of a glyph of that size: 16, 22 or 32.
int GlyphPixels(TGlyphSize size);

class TGlyphList
{
public:
    struct TGlyphContainer
    {
        std::unique_ptr<TImageList> ImageList;
        std::vector<bool> Synthesized;
        std::vector<int> Map;
    };

    TGlyphHandle AddGlyph(const QImage& glyph, const QString& ident, TGlyphSize size, TGlyphState state);
    // Throws Exception("Invalid glyph handle") for a handle the list does not hold. Glyph is always
    // left Format_ARGB32.
    bool GetGlyph(TGlyphHandle handle, TGlyphSize size, QImage& glyph, TGlyphState state);
    TGlyphHandle FindGlyph(const QString& ident, TGlyphSize size, TGlyphState state) const;

    int Count() const { return int(FGlyphIdents.size()); }
    QString Ident(TGlyphHandle handle) const;
    // True where (size, state) holds an image that was made from another one.
    bool IsSynthesized(TGlyphHandle handle, TGlyphSize size, TGlyphState state) const;

private:
    TGlyphContainer& Container(TGlyphSize size, TGlyphState state);
    TImageList& List(TGlyphSize size, TGlyphState state);
    int IndexOf(const QString& ident) const;
    bool MakeFrom(TGlyphHandle handle, TGlyphSize size, TGlyphState state, TGlyphSize fromSize,
                  TGlyphState fromState, QImage& glyph);

    std::array<std::array<TGlyphContainer, 3>, 3> FGlyphs;
    QStringList FGlyphIdents;
};

class IGlyphService
{
public:
    virtual ~IGlyphService() = default;
    virtual TGlyphHandle AddGlyph(const QImage& glyph, const QString& ident, TGlyphSize size,
                                  TGlyphState state) = 0;
    virtual TGlyphHandle LoadGlyph(const QString& resName, const QString& ident, TGlyphSize size,
                                   TGlyphState state) = 0;
    virtual bool GetGlyph(TGlyphHandle handle, TGlyphSize size, QImage& glyph, TGlyphState state) = 0;
    virtual TGlyphHandle FindGlyph(const QString& ident, TGlyphSize size, TGlyphState state) = 0;
};

// Finds the bytes of an RT_BITMAP resource of the program by name (a BMP or PNG file).
using TBitmapResourceFinder = std::function<std::optional<QByteArray>(const QString& resName)>;

// The program's own bitmaps: the Qt resource ":/res/BITMAP/<NAME>", names compared without regard
// to the case of A to Z.
std::optional<QByteArray> FindProgramBitmap(const QString& resName);

class TGlyphService : public IGlyphService
{
public:
    explicit TGlyphService(TBitmapResourceFinder finder = FindProgramBitmap);

    TGlyphHandle AddGlyph(const QImage& glyph, const QString& ident, TGlyphSize size,
                          TGlyphState state) override;
    TGlyphHandle LoadGlyph(const QString& resName, const QString& ident, TGlyphSize size,
                           TGlyphState state) override;
    bool GetGlyph(TGlyphHandle handle, TGlyphSize size, QImage& glyph, TGlyphState state) override;
    TGlyphHandle FindGlyph(const QString& ident, TGlyphSize size, TGlyphState state) override;

    const TGlyphList& Glyphs() const { return FGlyphs; }

private:
    TBitmapResourceFinder FFinder;
    TGlyphList FGlyphs;
};

std::shared_ptr<IGlyphService> CreateGlyphService();
std::shared_ptr<IGlyphService> GlyphService();

// An icon of the glyph in every size, its disabled and hot images as Qt's disabled and active modes,
// so Qt never greys it by its own rule. A null icon for a glyph without any image.
QIcon GlyphIcon(IGlyphService& service, TGlyphHandle handle);

void koGlyphService_Initialize();
void koGlyphService_Finalize();
