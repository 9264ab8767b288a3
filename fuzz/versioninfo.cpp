// Version resources: the fixed information, the translations and their strings.
#include "FuzzCommon.h"

#include "model/VersionInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        const TVersionInfo info = TVersionInfo::FromResource(FuzzBytes(data, size));
        (void)TVersionInfo::VersionToString(info.FileVersion() ^ info.ProductVersion() ^ info.FileDate());
        for (int i = 0; i < info.TranslationCount(); ++i)
            for (const char* key : {"CompanyName", "FileVersion", "ProductName"})
                (void)info.GetString(QString::fromLatin1(key), i);
    });
    return 0;
}
