// Shell links (.lnk files).
#include "FuzzCommon.h"

#include "platform/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        TShellLinkData link;
        ReadShellLink(FuzzBytes(data, size), link);
    });
    return 0;
}
