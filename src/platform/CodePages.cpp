#include "CodePages.h"

#include "Exceptions.h"
#include "Format.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const char* const SUnsupportedCodePage = "Unsupported code page %d";
const char* const UnicodeName = "UTF-16LE";
const char16_t Replacement = u'?';

struct TPageInfo {
    uint32_t Number;
    bool DoubleByte;
    // iconv names to try in order; the first one iconv knows wins.
    std::array<const char*, 3> Names;
};

const TPageInfo Pages[] = {
    {437, false, {"CP437", "IBM437", nullptr}},
    {737, false, {"CP737", nullptr, nullptr}},
    {775, false, {"CP775", "IBM775", nullptr}},
    {850, false, {"CP850", "IBM850", nullptr}},
    {852, false, {"CP852", "IBM852", nullptr}},
    {855, false, {"CP855", "IBM855", nullptr}},
    {857, false, {"CP857", "IBM857", nullptr}},
    {860, false, {"CP860", "IBM860", nullptr}},
    {861, false, {"CP861", "IBM861", nullptr}},
    {862, false, {"CP862", "IBM862", nullptr}},
    {863, false, {"CP863", "IBM863", nullptr}},
    {864, false, {"CP864", "IBM864", nullptr}},
    {865, false, {"CP865", "IBM865", nullptr}},
    {866, false, {"CP866", "IBM866", nullptr}},
    {869, false, {"CP869", "IBM869", nullptr}},
    // TIS-620 lacks the euro sign and the quotation marks of 0x80-0x97, so it comes last.
    {874, false, {"CP874", "WINDOWS-874", "TIS-620"}},
    {932, true, {"CP932", "WINDOWS-31J", nullptr}},
    {936, true, {"CP936", "GBK", nullptr}},
    {949, true, {"CP949", "UHC", nullptr}},
    {950, true, {"CP950", "BIG5", nullptr}},
    {1250, false, {"CP1250", "WINDOWS-1250", nullptr}},
    {1251, false, {"CP1251", "WINDOWS-1251", nullptr}},
    {1252, false, {"CP1252", "WINDOWS-1252", nullptr}},
    {1253, false, {"CP1253", "WINDOWS-1253", nullptr}},
    {1254, false, {"CP1254", "WINDOWS-1254", nullptr}},
    {1255, false, {"CP1255", "WINDOWS-1255", nullptr}},
    {1256, false, {"CP1256", "WINDOWS-1256", nullptr}},
    {1257, false, {"CP1257", "WINDOWS-1257", nullptr}},
    {1258, false, {"CP1258", "WINDOWS-1258", nullptr}},
};
constexpr size_t PageCount = std::size(Pages);

class TIconv {
public:
    TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
    ~TIconv()
    {
        if (Valid())
            iconv_close(FHandle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    // Returns false with errno set, like iconv itself.
    bool Convert(const char*& in, size_t& inLeft, char*& out, size_t& outLeft)
    {
        char* input = const_cast<char*>(in);
        const size_t result = iconv(FHandle, &input, &inLeft, &out, &outLeft);
        in = input;
        return result != static_cast<size_t>(-1);
    }
    // Emits what a stateful converter holds back (a Vietnamese base letter awaiting its accent).
    bool Flush(char*& out, size_t& outLeft)
    {
        return iconv(FHandle, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
    }
    void Reset() { iconv(FHandle, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t FHandle;
};

// UTF-16 LE bytes <-> host-order UTF-16 units.
QString FromLittleEndian(const char* data, qsizetype units)
{
    QString result(units, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(data, units, result.data());
    return result;
}

QByteArray ToLittleEndian(const QString& text)
{
    QByteArray result(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), result.data());
    return result;
}

const TPageInfo* FindPage(uint32_t codePage)
{
    const auto it = std::find_if(std::begin(Pages), std::end(Pages),
                                 [codePage](const TPageInfo& page) { return page.Number == codePage; });
    return it == std::end(Pages) ? nullptr : it;
}

// The first name of the page that iconv can convert from and to, or nullptr.
const char* IconvName(const TPageInfo& page)
{
    static std::array<std::once_flag, PageCount> flags;
    static std::array<const char*, PageCount> names{};
    const size_t index = size_t(&page - Pages);
    std::call_once(flags[index], [&page, index] {
        for (const char* name : page.Names) {
            if (name && TIconv(UnicodeName, name).Valid() && TIconv(name, UnicodeName).Valid()) {
                names[index] = name;
                break;
            }
        }
    });
    return names[index];
}

struct TSingleByteTable {
    std::array<char16_t, 256> ToUnicode;
    // Sorted by character for binary search.
    std::vector<std::pair<char16_t, uint8_t>> FromUnicode;

    bool Find(char16_t ch, uint8_t& byte) const
    {
        // Every page here keeps ASCII where it is; the search is for the rest.
        if (ch < 128 && ToUnicode[ch] == ch) {
            byte = uint8_t(ch);
            return true;
        }
        const auto it = std::lower_bound(FromUnicode.begin(), FromUnicode.end(), ch,
                                         [](const auto& entry, char16_t key) { return entry.first < key; });
        if (it == FromUnicode.end() || it->first != ch)
            return false;
        byte = it->second;
        return true;
    }
};

std::unique_ptr<TSingleByteTable> BuildSingleByteTable(const char* name)
{
    auto table = std::make_unique<TSingleByteTable>();
    TIconv cd(UnicodeName, name);
    std::array<bool, 256> defined{};
    for (int byte = 0; byte < 256; ++byte) {
        const char in = char(byte);
        const char* input = &in;
        size_t inLeft = 1;
        char buffer[16];
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        cd.Reset();
        const bool ok = cd.Convert(input, inLeft, out, outLeft) && cd.Flush(out, outLeft);
        if (ok && inLeft == 0 && out - buffer == 2) {
            table->ToUnicode[byte] = FromLittleEndian(buffer, 1).at(0).unicode();
            defined[byte] = true;
        }
    }
    auto definedAs = [&](char16_t ch) {
        for (int byte = 0; byte < 256; ++byte) {
            if (defined[byte] && table->ToUnicode[byte] == ch)
                return true;
        }
        return false;
    };
    // Undefined bytes stand for the C1 control or Latin-1 character of the same value, so that any
    // byte string survives a round trip. Where the page already holds that character elsewhere (0xD5
    // of 857, whose 0xE5 is U+00D5), a private-use character takes its place instead.
    for (int byte = 0; byte < 256; ++byte) {
        if (!defined[byte])
            table->ToUnicode[byte] = definedAs(char16_t(byte)) ? char16_t(0xF700 + byte) : char16_t(byte);
    }
    // Should a page map two bytes to one character, the lower byte encodes it.
    table->FromUnicode.reserve(256);
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t ch = table->ToUnicode[byte];
        const bool taken = std::any_of(table->FromUnicode.begin(), table->FromUnicode.end(),
                                       [ch](const auto& entry) { return entry.first == ch; });
        if (!taken)
            table->FromUnicode.emplace_back(ch, uint8_t(byte));
    }
    std::sort(table->FromUnicode.begin(), table->FromUnicode.end());
    return table;
}

const TSingleByteTable& SingleByteTable(const TPageInfo& page, const char* name)
{
    static std::array<std::once_flag, PageCount> flags;
    static std::array<std::unique_ptr<TSingleByteTable>, PageCount> tables;
    const size_t index = size_t(&page - Pages);
    std::call_once(flags[index], [index, name] { tables[index] = BuildSingleByteTable(name); });
    return *tables[index];
}

QString DecodeMultiByte(const QByteArray& bytes, const char* name)
{
    TIconv cd(UnicodeName, name);
    // A byte never yields more than one UTF-16 unit in these pages; the loop grows the buffer anyway.
    QByteArray buffer((bytes.size() + 4) * 2, Qt::Uninitialized);
    const char* in = bytes.constData();
    size_t inLeft = size_t(bytes.size());
    char* out = buffer.data();
    size_t outLeft = size_t(buffer.size());
    auto grow = [&] {
        const qsizetype used = out - buffer.data();
        buffer.resize(buffer.size() * 2);
        out = buffer.data() + used;
        outLeft = size_t(buffer.size() - used);
    };
    auto put = [&](char16_t unit) {
        if (outLeft < 2)
            grow();
        qToLittleEndian<char16_t>(unit, out);
        out += 2;
        outLeft -= 2;
    };
    while (inLeft > 0) {
        if (cd.Convert(in, inLeft, out, outLeft))
            break;
        if (errno == E2BIG) {
            grow();
        } else {
            // An invalid sequence, or a lead byte cut off by the end of the data: drop one byte.
            put(Replacement);
            ++in;
            --inLeft;
            cd.Reset();
        }
    }
    while (!cd.Flush(out, outLeft) && errno == E2BIG)
        grow();
    return FromLittleEndian(buffer.constData(), (out - buffer.constData()) / 2);
}

QByteArray EncodeMultiByte(const QString& text, const char* name)
{
    TIconv cd(name, UnicodeName);
    const QByteArray units = ToLittleEndian(text);
    QByteArray buffer(units.size() + 16, Qt::Uninitialized);
    const char* in = units.constData();
    size_t inLeft = size_t(units.size());
    char* out = buffer.data();
    size_t outLeft = size_t(buffer.size());
    auto grow = [&] {
        const qsizetype used = out - buffer.data();
        buffer.resize(buffer.size() * 2);
        out = buffer.data() + used;
        outLeft = size_t(buffer.size() - used);
    };
    while (inLeft > 0) {
        if (cd.Convert(in, inLeft, out, outLeft))
            break;
        if (errno == E2BIG) {
            grow();
            continue;
        }
        // One '?' per UTF-16 unit of the character iconv refused, a surrogate pair giving two.
        const qsizetype unit = (in - units.constData()) / 2;
        const bool pair = unit + 1 < text.size() && text.at(unit).isHighSurrogate() &&
                          text.at(unit + 1).isLowSurrogate();
        const size_t skip = std::min<size_t>(pair ? 4 : 2, inLeft);
        for (size_t i = 0; i < skip; i += 2) {
            if (outLeft < 1)
                grow();
            *out++ = char(Replacement);
            --outLeft;
        }
        in += skip;
        inLeft -= skip;
        cd.Reset();
    }
    while (!cd.Flush(out, outLeft) && errno == E2BIG)
        grow();
    buffer.truncate(out - buffer.constData());
    return buffer;
}

uint32_t ResolveCodePage(uint32_t codePage)
{
    switch (codePage) {
    case CP_ACP:
        return 1252;
    case CP_OEMCP:
        return 437;
    default:
        return codePage;
    }
}

// The page and its iconv name, or raises for a page that cannot be converted.
std::pair<const TPageInfo*, const char*> RequirePage(uint32_t codePage)
{
    const TPageInfo* page = FindPage(ResolveCodePage(codePage));
    const char* name = page ? IconvName(*page) : nullptr;
    if (!name)
        throw EConvertError(Format(SUnsupportedCodePage, {codePage}));
    return {page, name};
}

} // namespace

bool IsValidCodePage(uint32_t codePage)
{
    codePage = ResolveCodePage(codePage);
    if (codePage == CP_UTF8 || codePage == CP_UTF16)
        return true;
    const TPageInfo* page = FindPage(codePage);
    return page && IconvName(*page);
}

QString CodePageToUnicode(const QByteArray& bytes, uint32_t codePage)
{
    if (codePage == CP_UTF8)
        return QString::fromUtf8(bytes);
    if (codePage == CP_UTF16) // a trailing odd byte is not a character and is dropped
        return FromLittleEndian(bytes.constData(), bytes.size() / 2);
    const auto [page, name] = RequirePage(codePage);
    if (page->DoubleByte)
        return DecodeMultiByte(bytes, name);
    const TSingleByteTable& table = SingleByteTable(*page, name);
    QString result(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    for (const char byte : bytes)
        *out++ = table.ToUnicode[uint8_t(byte)];
    return result;
}

QByteArray UnicodeToCodePage(const QString& text, uint32_t codePage)
{
    if (codePage == CP_UTF8)
        return text.toUtf8();
    if (codePage == CP_UTF16)
        return ToLittleEndian(text);
    const auto [page, name] = RequirePage(codePage);
    if (page->DoubleByte)
        return EncodeMultiByte(text, name);
    const TSingleByteTable& table = SingleByteTable(*page, name);
    QByteArray result(text.size(), Qt::Uninitialized);
    char* out = result.data();
    for (const QChar ch : text) {
        uint8_t byte;
        *out++ = table.Find(ch.unicode(), byte) ? char(byte) : char(Replacement);
    }
    return result;
}

bool CodePageCanHold(const QString& text, uint32_t codePage)
{
    if (codePage != CP_UTF8 && codePage != CP_UTF16) {
        const auto [page, name] = RequirePage(codePage);
        if (!page->DoubleByte) {
            const TSingleByteTable& table = SingleByteTable(*page, name);
            uint8_t byte;
            return std::all_of(text.begin(), text.end(),
                               [&](QChar ch) { return table.Find(ch.unicode(), byte); });
        }
    }
    // A character that only maps one way (a look-alike) fails the round trip too.
    return CodePageToUnicode(UnicodeToCodePage(text, codePage), codePage) == text;
}
