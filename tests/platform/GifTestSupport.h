// GIF files made by giflib itself (an encoder independent of our writer) and decoded by it, for tests.
#pragma once

#include "platform/Graphics.h"

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace giftest {

struct TFrameRecipe {
    int Left = 0;
    int Top = 0;
    int Width = 1;
    int Height = 1;
    QByteArray Pixels; // Width * Height indices, rows top-down
    std::vector<TColor> LocalMap; // power-of-two count or empty
    bool Interlace = false;
    bool Control = false; // a graphic control extension
    int Disposal = 0;
    int Transparent = -1; // index or -1
    int Delay = 0;
    QByteArray Comment;
};

inline TFrameRecipe Frame(int Left, int Top, int Width, int Height, const QByteArray& Pixels)
{
    TFrameRecipe frame;
    frame.Left = Left;
    frame.Top = Top;
    frame.Width = Width;
    frame.Height = Height;
    frame.Pixels = Pixels;
    return frame;
}

struct TGifRecipe {
    int Width = 1;
    int Height = 1;
    int Background = 0;
    std::vector<TColor> GlobalMap; // power-of-two count or empty
    int Loop = -1; // loop count of a NETSCAPE2.0 extension on the first frame, -1 for none
    std::vector<TFrameRecipe> Frames;
};

inline ColorMapObject* MakeMap(const std::vector<TColor>& Colors)
{
    if (Colors.empty()) return nullptr;
    std::vector<GifColorType> c;
    for (const TColor color : Colors)
        c.push_back({GifByteType(GetRValue(color)), GifByteType(GetGValue(color)), GifByteType(GetBValue(color))});
    return GifMakeMapObject(int(c.size()), c.data());
}

inline int Collect(GifFileType* Gif, const GifByteType* Data, int Length)
{
    static_cast<QByteArray*>(Gif->UserData)->append(reinterpret_cast<const char*>(Data), Length);
    return Length;
}

// The file giflib writes for the recipe.
inline QByteArray MakeGif(const TGifRecipe& Recipe)
{
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, Collect, &error);
    gif->SWidth = Recipe.Width;
    gif->SHeight = Recipe.Height;
    gif->SColorResolution = 8;
    gif->SBackGroundColor = Recipe.Background;
    gif->SColorMap = MakeMap(Recipe.GlobalMap);
    for (size_t i = 0; i < Recipe.Frames.size(); ++i) {
        const TFrameRecipe& f = Recipe.Frames[i];
        SavedImage* image = GifMakeSavedImage(gif, nullptr);
        image->ImageDesc = GifImageDesc{f.Left, f.Top, f.Width, f.Height, f.Interlace, MakeMap(f.LocalMap)};
        image->RasterBits = static_cast<GifByteType*>(malloc(size_t(f.Width * f.Height)));
        std::memcpy(image->RasterBits, f.Pixels.constData(), size_t(f.Width * f.Height));
        if (i == 0 && Recipe.Loop >= 0) {
            const GifByteType loop[] = {1, GifByteType(Recipe.Loop & 0xFF), GifByteType(Recipe.Loop >> 8)};
            GifAddExtensionBlock(&image->ExtensionBlockCount, &image->ExtensionBlocks, APPLICATION_EXT_FUNC_CODE, 11,
                                 (unsigned char*)"NETSCAPE2.0");
            GifAddExtensionBlock(&image->ExtensionBlockCount, &image->ExtensionBlocks, CONTINUE_EXT_FUNC_CODE, 3,
                                 (unsigned char*)loop);
        }
        if (!f.Comment.isEmpty())
            GifAddExtensionBlock(&image->ExtensionBlockCount, &image->ExtensionBlocks, COMMENT_EXT_FUNC_CODE,
                                 int(f.Comment.size()), (unsigned char*)f.Comment.data());
        if (f.Control) {
            GraphicsControlBlock gcb{f.Disposal, false, f.Delay, f.Transparent < 0 ? NO_TRANSPARENT_COLOR : f.Transparent};
            EGifGCBToSavedExtension(&gcb, gif, int(i));
        }
    }
    EGifSpew(gif);
    return out;
}

struct TReadState {
    QByteArray Data;
    int Position = 0;
};

inline int Feed(GifFileType* Gif, GifByteType* Buffer, int Length)
{
    auto* state = static_cast<TReadState*>(Gif->UserData);
    const int n = std::min(Length, int(state->Data.size()) - state->Position);
    std::memcpy(Buffer, state->Data.constData() + state->Position, size_t(std::max(n, 0)));
    state->Position += std::max(n, 0);
    return std::max(n, 0);
}

// giflib's own reading of a file: the caller closes it with DGifCloseFile. Null when it refuses.
inline GifFileType* Slurp(const QByteArray& Data, TReadState& State)
{
    State.Data = Data;
    int error = 0;
    GifFileType* gif = DGifOpen(&State, Feed, &error);
    if (!gif) return nullptr;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return nullptr;
    }
    return gif;
}

} // namespace giftest
