// Type libraries as the type-library view reads them: any bytes read or refused with a message, and
// what is read never holds more types or members than the bytes could describe.
#include "FuzzCommon.h"

#include "platform/Exceptions.h"
#include "views/TypeLibReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        TTypeLib library;
        try {
            library = ReadTypeLib(bytes);
        } catch (const ETypeLibError&) {
            return;
        }
        // Every type has a 100-byte record, every member a 4-byte name offset.
        if (library.Types.size() * 100 > size) FuzzFinding(QStringLiteral("more types than records"));
        size_t members = 0;
        for (const TTypeLibType& type : library.Types) members += type.Functions.size() + type.Variables.size();
        if (members * 8 > size) FuzzFinding(QStringLiteral("more members than the data can name"));
    });
    return 0;
}
