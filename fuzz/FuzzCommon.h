// Shared by the fuzz targets: the bytes as the program would hold them, start-up of the units a target
// needs, a scratch folder for readers that go through files, and the verdict on an exception.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// The fuzzer's bytes without a copy, so that AddressSanitizer sees a read past their end.
QByteArray FuzzBytes(const uint8_t* data, size_t size);

// The model's units (item kinds, RES, RC and PE filers, string tables), started once per process.
void FuzzInitializeModel();
// A QGuiApplication on the offscreen platform, for targets that make pixmaps and cursors.
void FuzzInitializeGui();

// An empty folder of this process (emptied on every call); removed when the process ends.
QString FuzzScratchFolder();

// Writes the bytes to FileName (in the scratch folder) for readers that open files.
void FuzzWriteFile(const QString& FileName, const uint8_t* data, size_t size);

// Runs one input. An Exception is the program rejecting bad bytes, which is fine. A failed assertion
// (also when a reader wrapped it into its own error) and any other exception end the process: no bytes
// may reach them. With FUZZ_VERBOSE set, rejections are printed.
void FuzzRun(const std::function<void()>& Body);

// Ends the process with a message: an invariant that bytes broke.
[[noreturn]] void FuzzFinding(const QString& Message);
