// Web archives as the HTML view reads them: any bytes read or refused with a message, the page is one
// of the parts, and no decoded part is larger than the bytes it came from.
#include "FuzzCommon.h"

#include "platform/Exceptions.h"
#include "views/MhtReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        (void)IsWebArchive(bytes);
        TMhtArchive archive;
        try {
            archive = ReadMht(bytes);
        } catch (const EMhtError&) {
            return;
        }
        if (archive.Root < 0 || archive.Root >= static_cast<int>(archive.Parts.size()))
            FuzzFinding(QStringLiteral("the page is no part of the archive"));
        size_t total = 0;
        for (const TMhtPart& part : archive.Parts) total += part.Body.size();
        if (total > size) FuzzFinding(QStringLiteral("the parts grew beyond their bytes"));
    });
    return 0;
}
