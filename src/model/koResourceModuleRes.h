// Compiled resource files (RES, and DCR which has the same format): a blank 32-byte record, then one
// record per resource with its type, name, header fields and data, each aligned to 4 bytes.
#pragma once

#include "koResourcesFiler.h"
#include "koResourcesModule.h"

class TResourceModuleRes : public TResourceModule {
    Q_OBJECT

public:
    using TResourceModule::TResourceModule;
    // The extension is "res" or "dcr".
    static bool Handles(const QString& FileName);
};

class TResourceModuleReaderRes : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleReaderRes, TCustomResourceModuleReader)

public:
    static bool Handles(const QString& FileName);
    static bool Handles(TStream* Stream);
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) override;
    static void RegisterFileTypes();
};

class TResourceModuleWriterRes : public TCustomResourceModuleWriter {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleWriterRes, TCustomResourceModuleWriter)

public:
    static bool Handles(TCustomResourceModule* Module, const QString& FileName);
    void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString& Encoding,
                      const QString& Path) override;
    static void RegisterFileTypes();
};

void koResourceModuleRes_Initialize();
void koResourceModuleRes_Finalize();
