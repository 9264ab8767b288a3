// Message tables as the tests see them: the messages of an item, and the entries of data read without
// the reader under test.
#pragma once

#include "kinds/koResourceItemMessageTable.h"
#include "platform/BinaryReader.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

using TMessages = std::map<uint32_t, QString>;

inline TMessages Messages(const TMessageTableResourceItem& item)
{
    TMessages messages;
    for (int i = 0; i < item.Strings()->Count(); ++i)
        messages[item.Strings()->Items(i)->IDValue()] = item.Strings()->Items(i)->Value();
    return messages;
}

struct TStoredEntry {
    uint32_t ID;
    uint16_t Length;
    uint16_t Flags;
    QByteArray Bytes; // the Length - 4 bytes after the header
};

// Every entry of the data, block by block.
inline std::vector<TStoredEntry> StoredEntries(const QByteArray& data)
{
    std::vector<TStoredEntry> entries;
    const TBinaryReader r(data);
    const uint32_t count = r.U32(0);
    for (uint32_t b = 0; b < count; ++b) {
        const uint32_t low = r.U32(4 + 12 * b), high = r.U32(8 + 12 * b);
        int64_t at = r.U32(12 + 12 * b);
        for (uint64_t id = low; id <= high; ++id) {
            const uint16_t length = r.U16(at);
            entries.push_back({uint32_t(id), length, r.U16(at + 2), r.Bytes(at + 4, length - 4)});
            at += length;
        }
    }
    return entries;
}
