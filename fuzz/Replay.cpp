// Runs a fuzz target over saved inputs (files, or every file of folders), so each finding the fuzzer
// made stays fixed. A finding aborts; the file being run is named first.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) files.append(it.next());
        } else {
            files.append(path);
        }
    }
    files.sort();
    for (const QString& name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
            return 1;
        }
        // A copy of exactly the file's size, so that a read past the end is a read past the allocation.
        const QByteArray bytes = file.readAll();
        std::printf("%s (%lld bytes)\n", qPrintable(name), static_cast<long long>(bytes.size()));
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
    std::printf("%lld inputs replayed\n", static_cast<long long>(files.size()));
    return 0;
}
