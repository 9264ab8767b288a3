// Rich text as the rich-text view reads it: any bytes read without an error, and the document never
// holds more characters than the bytes could stand for.
#include "FuzzCommon.h"

#include "platform/Exceptions.h"
#include "views/RtfReader.h"

#include <QTextDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeGui();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        QTextDocument document;
        try {
            ReadRtf(bytes, document);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("reading rich text raised: ") + e.Message());
        }
        // Every character and paragraph takes at least one byte; the document adds its own end.
        if (static_cast<size_t>(document.characterCount()) > size + 1)
            FuzzFinding(QStringLiteral("rich text grew beyond its bytes"));
    });
    return 0;
}
