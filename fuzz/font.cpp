// Font files (TrueType, OpenType, collections): the description of the faces reads nothing outside the
// data, and a font whose faces were read gives the same faces again from the same bytes.
#include "FuzzCommon.h"

#include "kinds/koResourceItemFont.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        TLogFontList faces;
        const TFontType type = GetFontDataInfo(bytes, faces);
        if (type == TFontType::ftUnknown && !faces.isEmpty()) FuzzFinding(QStringLiteral("faces of data that is no font"));
        for (const TLogFont& face : faces)
            if (face.CharSets.isEmpty() || face.CharSet != face.CharSets.first())
                FuzzFinding(QStringLiteral("a face without its character sets"));
        TLogFontList again;
        if (GetFontDataInfo(bytes, again) != type || again.size() != faces.size())
            FuzzFinding(QStringLiteral("the same font reads differently"));
    });
    return 0;
}
