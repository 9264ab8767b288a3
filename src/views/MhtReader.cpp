#include "MhtReader.h"

#include <QList>
#include <utility>

namespace {
// Nested multiparts deeper than this are taken as leaves.
const int MaxDepth = 8;

struct THeaders {
    QList<std::pair<QByteArray, QByteArray>> Fields; // lower-case name, value with folding undone
    QByteArray Value(const QByteArray& Name) const
    {
        for (const auto& field : Fields)
            if (field.first == Name) return field.second;
        return {};
    }
};

// The end of the line starting at From (the index of its LF, or the size) and the start of the next.
std::pair<qsizetype, qsizetype> LineAt(const QByteArray& Data, qsizetype From, qsizetype End)
{
    qsizetype lf = Data.indexOf('\n', From);
    if (lf < 0 || lf >= End) return {End, End};
    qsizetype lineEnd = lf;
    if (lineEnd > From && Data.at(lineEnd - 1) == '\r') --lineEnd;
    return {lineEnd, lf + 1};
}

// Reads header lines from From up to the first empty line; returns where the body starts.
qsizetype ReadHeaders(const QByteArray& Data, qsizetype From, qsizetype End, THeaders& Headers)
{
    qsizetype position = From;
    while (position < End) {
        const auto [lineEnd, next] = LineAt(Data, position, End);
        const QByteArray line = Data.mid(position, lineEnd - position);
        position = next;
        if (line.isEmpty()) break;
        if ((line.at(0) == ' ' || line.at(0) == '\t') && !Headers.Fields.isEmpty()) {
            Headers.Fields.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        Headers.Fields.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    return position;
}

// A parameter of a header value ("type/sub; name=value; name=\"value\"").
QByteArray Parameter(const QByteArray& Value, const QByteArray& Name)
{
    qsizetype position = Value.indexOf(';');
    while (position >= 0 && position < Value.size()) {
        ++position;
        while (position < Value.size() && (Value.at(position) == ' ' || Value.at(position) == '\t')) ++position;
        const qsizetype equals = Value.indexOf('=', position);
        if (equals < 0) return {};
        const QByteArray name = Value.mid(position, equals - position).trimmed().toLower();
        qsizetype valueStart = equals + 1;
        QByteArray value;
        qsizetype after;
        if (valueStart < Value.size() && Value.at(valueStart) == '"') {
            const qsizetype close = Value.indexOf('"', valueStart + 1);
            const qsizetype valueEnd = close < 0 ? Value.size() : close;
            value = Value.mid(valueStart + 1, valueEnd - valueStart - 1);
            after = Value.indexOf(';', valueEnd);
        } else {
            after = Value.indexOf(';', valueStart);
            value = Value.mid(valueStart, (after < 0 ? Value.size() : after) - valueStart).trimmed();
        }
        if (name == Name) return value;
        position = after;
    }
    return {};
}

QByteArray MediaTypeOf(const QByteArray& ContentType)
{
    const qsizetype semicolon = ContentType.indexOf(';');
    return (semicolon < 0 ? ContentType : ContentType.left(semicolon)).trimmed().toLower();
}

QString StripAngles(const QByteArray& Value)
{
    QByteArray id = Value.trimmed();
    if (id.startsWith('<') && id.endsWith('>')) id = id.mid(1, id.size() - 2);
    return QString::fromLatin1(id);
}

QByteArray DecodeBody(const QByteArray& Body, const QByteArray& Encoding)
{
    const QByteArray encoding = Encoding.trimmed().toLower();
    if (encoding == "base64") return QByteArray::fromBase64(Body);
    if (encoding == "quoted-printable") return DecodeQuotedPrintable(Body);
    return Body;
}

class TMimeReader {
public:
    explicit TMimeReader(const QByteArray& Data) : FData(Data) {}

    // The parts of the multipart body [From, End) split by the boundary.
    void ReadMultipart(const QByteArray& Boundary, qsizetype From, qsizetype End, int Depth)
    {
        const QByteArray delimiter = "--" + Boundary;
        qsizetype partStart = -1;
        qsizetype position = From;
        while (position < End) {
            const auto [lineEnd, next] = LineAt(FData, position, End);
            const QByteArrayView line = QByteArrayView(FData).sliced(position, lineEnd - position);
            // A delimiter line is the delimiter, maybe "--" (the last one), then only blanks.
            const QByteArrayView rest = line.startsWith(delimiter) ? line.sliced(delimiter.size()) : QByteArrayView();
            const bool closing = rest.startsWith("--");
            if (line.startsWith(delimiter) && (closing || rest.trimmed().isEmpty())) {
                // The line break before a delimiter belongs to the delimiter.
                if (partStart >= 0) ReadPart(partStart, LineBreakBefore(partStart, position), Depth);
                if (closing) return;
                partStart = next;
            }
            position = next;
        }
        // An archive cut off before its closing delimiter still shows what arrived.
        if (partStart >= 0 && partStart < End) ReadPart(partStart, End, Depth);
    }

    std::vector<TMhtPart> Parts;
    QByteArray Start;

private:
    qsizetype LineBreakBefore(qsizetype PartStart, qsizetype Delimiter) const
    {
        qsizetype end = Delimiter;
        if (end > PartStart && FData.at(end - 1) == '\n') --end;
        if (end > PartStart && FData.at(end - 1) == '\r') --end;
        return end;
    }

    void ReadPart(qsizetype From, qsizetype End, int Depth)
    {
        THeaders headers;
        const qsizetype body = ReadHeaders(FData, From, End, headers);
        const QByteArray contentType = headers.Value("content-type");
        const QByteArray mediaType = MediaTypeOf(contentType);
        const QByteArray boundary = Parameter(contentType, "boundary");
        if (mediaType.startsWith("multipart/") && !boundary.isEmpty() && Depth < MaxDepth) {
            ReadMultipart(boundary, body, End, Depth + 1);
            return;
        }
        TMhtPart part;
        part.MediaType = mediaType.isEmpty() ? QByteArrayLiteral("text/plain") : mediaType;
        part.Charset = Parameter(contentType, "charset");
        part.Location = QString::fromUtf8(headers.Value("content-location"));
        part.ContentId = StripAngles(headers.Value("content-id"));
        part.Body = DecodeBody(FData.mid(body, End - body), headers.Value("content-transfer-encoding"));
        Parts.push_back(std::move(part));
    }

    const QByteArray& FData;
};

int HexDigit(char C)
{
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    return -1;
}
} // namespace

bool IsWebArchive(const QByteArray& Data)
{
    const qsizetype zero = Data.indexOf('\0');
    return QByteArrayView(Data).first(zero < 0 ? Data.size() : zero).indexOf("Content-Type: multipart/related") >= 0;
}

TMhtArchive ReadMht(const QByteArray& Data)
{
    THeaders headers;
    const qsizetype body = ReadHeaders(Data, 0, Data.size(), headers);
    const QByteArray contentType = headers.Value("content-type");
    const QByteArray boundary = Parameter(contentType, "boundary");
    if (!MediaTypeOf(contentType).startsWith("multipart/") || boundary.isEmpty())
        throw EMhtError(QStringLiteral("Malformed web archive: the header names no multipart boundary."));
    TMimeReader reader(Data);
    reader.ReadMultipart(boundary, body, Data.size(), 0);
    if (reader.Parts.empty()) throw EMhtError(QStringLiteral("Malformed web archive: it holds no part."));

    TMhtArchive archive;
    archive.Parts = std::move(reader.Parts);
    const QString start = StripAngles(Parameter(contentType, "start"));
    for (size_t i = 0; i < archive.Parts.size() && archive.Root < 0; ++i)
        if (!start.isEmpty() && archive.Parts[i].ContentId == start) archive.Root = static_cast<int>(i);
    for (size_t i = 0; i < archive.Parts.size() && archive.Root < 0; ++i)
        if (archive.Parts[i].MediaType == "text/html") archive.Root = static_cast<int>(i);
    if (archive.Root < 0) archive.Root = 0;
    return archive;
}

QByteArray DecodeQuotedPrintable(const QByteArray& Text)
{
    QByteArray result;
    result.reserve(Text.size());
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const char c = Text.at(i);
        if (c != '=') {
            result.append(c);
            continue;
        }
        // A soft line break: "=" at the end of a line, maybe after trailing blanks.
        qsizetype j = i + 1;
        while (j < Text.size() && (Text.at(j) == ' ' || Text.at(j) == '\t')) ++j;
        if (j < Text.size() && (Text.at(j) == '\r' || Text.at(j) == '\n')) {
            if (Text.at(j) == '\r' && j + 1 < Text.size() && Text.at(j + 1) == '\n') ++j;
            i = j;
            continue;
        }
        if (j == Text.size()) {
            i = j;
            continue;
        }
        if (i + 2 < Text.size() && HexDigit(Text.at(i + 1)) >= 0 && HexDigit(Text.at(i + 2)) >= 0) {
            result.append(static_cast<char>(HexDigit(Text.at(i + 1)) * 16 + HexDigit(Text.at(i + 2))));
            i += 2;
            continue;
        }
        result.append(c);
    }
    return result;
}
