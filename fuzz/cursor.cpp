// Cursor files (.cur) and animated cursors (.ani), decoded as the cursor service loads them.
#include "FuzzCommon.h"

#include "shell/koCursorService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeGui();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        for (const HCURSOR& cursor : {DecodeCursorFile(bytes), DecodeAnimatedCursor(bytes)}) {
            if (!cursor) continue;
            if (cursor->Frames.empty()) FuzzFinding(QStringLiteral("a decoded cursor without frames"));
            if (!cursor->DelaysMs.empty() && cursor->DelaysMs.size() != cursor->Frames.size())
                FuzzFinding(QStringLiteral("an animated cursor with a delay count unlike its frame count"));
        }
    });
    return 0;
}
