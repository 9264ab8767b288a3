// PE modules (executables, libraries, packages, control panel items, screen savers, controls, visual
// styles and MUI files): their resources are read from the file's resource directory, and saving
// rewrites a copy of the module's own file with all resources replaced.
#pragma once

#include "koResourcesFiler.h"
#include "koResourcesModule.h"

class TResourceModulePE : public TResourceModule {
    Q_OBJECT

public:
    explicit TResourceModulePE(const QString& AFilename = QString());
    // One of the extensions of PE modules.
    static bool Handles(const QString& FileName);
};

class TResourceModuleReaderPE : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleReaderPE, TCustomResourceModuleReader)

public:
    // "MZ" at 0 and "PE\0\0" at the offset stored at 60, whatever the file's extension.
    static bool Handles(TStream* Stream);
    // Raises "Operation not applicable": modules are read from files.
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) override;
    std::unique_ptr<TCustomResourceModule> LoadFromFile(const QString& Filename) override;
    static void RegisterFileTypes();

private:
    int FProgressMax = 0;
    int FProgressCount = 0;
};

class TResourceModuleWriterPE : public TCustomResourceModuleWriter {
    RESOURCE_MODULE_FILER_CLASS(TResourceModuleWriterPE, TCustomResourceModuleWriter)

public:
    // Only modules read from a PE file that still exists, saved under a PE extension, their own extension,
    // their own name or over an existing PE file.
    static bool Handles(TCustomResourceModule* Module, const QString& FileName);
    // Raises "Operation not applicable": modules are written to files.
    void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString& Encoding,
                      const QString& Path) override;
    // Saving over the module's own file keeps the old one as "<name>.backup". A failed save leaves the
    // target as it was.
    void SaveToFile(TCustomResourceModule* Module, const QString& FileName, const QString& Encoding) override;
    static void RegisterFileTypes();
};

void koResourceModulePE_Initialize();
void koResourceModulePE_Finalize();
