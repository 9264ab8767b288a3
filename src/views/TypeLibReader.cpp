#include "TypeLibReader.h"

#include "platform/BinaryReader.h"
#include "platform/CodePages.h"

namespace {
const uint32_t MsftMagic = 0x5446534D; // "MSFT"
const int64_t HeaderSize = 0x54;
const int64_t TypeRecordSize = 0x64;
const int SegmentCount = 15;
const int64_t SegmentEntrySize = 16;
// A help DLL name follows the header when this bit of the flags word is set.
const uint32_t HelpDllFlag = 0x100;
enum { SegTypeInfo = 0, SegNames = 7 };

struct TSegment {
    int64_t Offset = -1;
    int64_t Length = 0;
};

[[noreturn]] void Malformed(const QString& What)
{
    throw ETypeLibError(QStringLiteral("Malformed type library: ") + What);
}

class TMsftReader {
public:
    explicit TMsftReader(const QByteArray& Data) : FReader(Data) {}

    TTypeLib Read()
    {
        if (FReader.Size() < HeaderSize) Malformed(QStringLiteral("the header is cut short."));
        if (FReader.U32(0) != MsftMagic) Malformed(QStringLiteral("the data does not start with \"MSFT\"."));
        const int32_t typeCount = static_cast<int32_t>(FReader.U32(0x20));
        const uint32_t flags = FReader.U32(0x14);
        int64_t offsetArray = HeaderSize + ((flags & HelpDllFlag) ? 4 : 0);
        // Each type has a 100-byte record, so the count can never exceed what the data holds.
        if (typeCount < 0 || typeCount > FReader.Size() / TypeRecordSize)
            Malformed(QStringLiteral("the type count %1 does not fit the data.").arg(typeCount));
        const int64_t directory = offsetArray + int64_t(typeCount) * 4;
        if (!FReader.Has(directory, SegmentCount * SegmentEntrySize))
            Malformed(QStringLiteral("the segment directory lies outside the data."));
        for (int i = 0; i < SegmentCount; ++i) {
            const int64_t entry = directory + i * SegmentEntrySize;
            FSegments[i].Offset = static_cast<int32_t>(FReader.U32(entry));
            FSegments[i].Length = static_cast<int32_t>(FReader.U32(entry + 4));
        }
        const TSegment& infos = FSegments[SegTypeInfo];
        if (typeCount > 0 && (infos.Length < 0 || !FReader.Has(infos.Offset, infos.Length)))
            Malformed(QStringLiteral("the type table lies outside the data."));
        const TSegment& names = FSegments[SegNames];
        if (names.Offset >= 0 && names.Length >= 0 && FReader.Has(names.Offset, names.Length))
            FNames = FReader.Sub(names.Offset, names.Length);

        TTypeLib result;
        result.Name = Name(static_cast<int32_t>(FReader.U32(0x38)));
        // Members of all types together cannot exceed what the data can hold: a crafted library that
        // points many types at one big block is cut off there, so reading stays linear in the data.
        FMemberBudget = FReader.Size() / 8;
        result.Types.reserve(typeCount);
        for (int32_t i = 0; i < typeCount; ++i) {
            const int64_t relative = static_cast<int32_t>(FReader.U32(offsetArray + int64_t(i) * 4));
            if (relative < 0 || relative > infos.Length - TypeRecordSize)
                Malformed(QStringLiteral("the record of type %1 lies outside the type table.").arg(i));
            result.Types.push_back(ReadType(infos.Offset + relative));
        }
        return result;
    }

private:
    TTypeLibType ReadType(int64_t Record)
    {
        TTypeLibType type;
        type.Kind = static_cast<int>(FReader.U32(Record) & 0xF);
        type.Name = Name(static_cast<int32_t>(FReader.U32(Record + 0x34)));
        const int64_t block = static_cast<int32_t>(FReader.U32(Record + 0x04));
        const uint32_t elements = FReader.U32(Record + 0x18);
        const int functions = elements & 0xFFFF;
        const int variables = elements >> 16;
        ReadMembers(type, block, functions, variables);
        return type;
    }

    // The member block: its length, the function and variable records, then one member ID and one
    // name offset per member.
    void ReadMembers(TTypeLibType& Type, int64_t Block, int Functions, int Variables)
    {
        const int64_t count = int64_t(Functions) + Variables;
        if (count == 0) {
            Type.MembersRead = true;
            return;
        }
        if (count > FMemberBudget || Block < 0) return;
        const std::optional<uint32_t> recordsLength = FReader.TryU32(Block);
        if (!recordsLength) return;
        const int64_t nameArray = Block + 4 + int64_t(*recordsLength) + 4 * count;
        if (!FReader.Has(nameArray, 4 * count)) return;
        FMemberBudget -= count;
        for (int64_t i = 0; i < count; ++i) {
            const QString name = Name(static_cast<int32_t>(FReader.U32(nameArray + 4 * i)));
            (i < Functions ? Type.Functions : Type.Variables).append(name);
        }
        Type.MembersRead = true;
    }

    // An entry of the name table: type reference, next in the hash chain, length in the low byte,
    // then the characters.
    QString Name(int32_t Offset) const
    {
        if (Offset < 0) return {};
        const std::optional<uint32_t> length = FNames.TryU32(int64_t(Offset) + 8);
        if (!length) return {};
        const int64_t count = *length & 0xFF;
        if (!FNames.Has(int64_t(Offset) + 12, count)) return {};
        return CodePageToUnicode(FNames.Bytes(int64_t(Offset) + 12, count), CP_ACP);
    }

    TBinaryReader FReader;
    TBinaryReader FNames;
    TSegment FSegments[SegmentCount];
    int64_t FMemberBudget = 0;
};
} // namespace

TTypeLib ReadTypeLib(const QByteArray& Data) { return TMsftReader(Data).Read(); }
