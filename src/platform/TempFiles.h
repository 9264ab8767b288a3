// Temporary files that only this process can reach: created exclusively in the user's temporary folder
// and unlinked at once, so the name is free again at once and the data vanishes when the descriptor
// closes, also when the process dies. Reads and writes go to explicit 64-bit offsets.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

// The temporary folder with a trailing separator.
QString TempFolder();

class TTempFile {
public:
    // Creates fileName exclusively (mode 0600) and unlinks it. Returns null when the name exists;
    // any other failure raises EOSError.
    static std::unique_ptr<TTempFile> CreateNew(const QString& fileName);
    ~TTempFile();
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const QString& FileName() const { return FFileName; }
    // Reads up to count bytes at offset; fewer at the end of the file. Raises EOSError on failure.
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count);
    // Writes every byte at offset or raises: EWriteError "Stream write error" when the disk is full,
    // EOSError for other failures.
    void WriteAt(int64_t offset, const void* buffer, int64_t count);
    int64_t Size();

private:
    TTempFile(const QString& fileName, int handle);

    QString FFileName;
    int FHandle = -1;
};
