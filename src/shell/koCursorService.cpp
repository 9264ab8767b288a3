#include "shell/koCursorService.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

#include <optional>

namespace {

HCURSOR StandardCursor(Qt::CursorShape shape)
{
    auto image = std::make_shared<TCursorImage>();
    image->Frames.push_back(QCursor(shape));
    return image;
}

QString AsciiUpper(const QString& s)
{
    QString result = s;
    for (QChar& c : result)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return result;
}

bool IsOrdinal(const QString& name) { return name.size() >= 2 && name[0] == QChar(0xFFFF); }

uint16_t Word(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<uint16_t>(data.constData() + offset);
}

uint32_t DWord(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<uint32_t>(data.constData() + offset);
}

std::optional<QByteArray> ReadResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::shared_ptr<ICursorService>& SharedService()
{
    static std::shared_ptr<ICursorService> service;
    return service;
}

} // namespace

HCURSOR DecodeCursorFile(const QByteArray& data)
{
    if (data.size() < 6 + 16 || Word(data, 0) != 0 || Word(data, 2) != 2 || Word(data, 4) == 0)
        return nullptr;
    const int hotX = Word(data, 6 + 4);
    const int hotY = Word(data, 6 + 6);
    const uint32_t size = DWord(data, 6 + 8);
    const uint32_t offset = DWord(data, 6 + 12);
    if (offset > uint32_t(data.size()) || size > uint32_t(data.size()) - offset)
        return nullptr;
    QImage image;
    const QByteArray bits = data.mid(offset, size);
    if (bits.startsWith("\x89PNG")) {
        image.loadFromData(bits, "PNG");
    } else {
        // A DIB image: let the icon reader decode a one-image icon file around it.
        QByteArray icon(6 + 16, '\0');
        qToLittleEndian<uint16_t>(1, icon.data() + 2);
        qToLittleEndian<uint16_t>(1, icon.data() + 4);
        std::copy_n(data.constData() + 6, 8, icon.data() + 6);
        qToLittleEndian<uint16_t>(1, icon.data() + 6 + 4);
        qToLittleEndian<uint16_t>(32, icon.data() + 6 + 6);
        qToLittleEndian<uint32_t>(size, icon.data() + 6 + 8);
        qToLittleEndian<uint32_t>(6 + 16, icon.data() + 6 + 12);
        image.loadFromData(icon + bits, "ICO");
    }
    if (image.isNull())
        return nullptr;
    auto cursor = std::make_shared<TCursorImage>();
    cursor->Frames.push_back(QCursor(QPixmap::fromImage(image), hotX, hotY));
    return cursor;
}

HCURSOR DecodeAnimatedCursor(const QByteArray& data)
{
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "ACON")
        return nullptr;
    std::vector<HCURSOR> frames;
    std::vector<uint32_t> rates;
    std::vector<uint32_t> sequence;
    uint32_t displayRate = 0;
    const qsizetype end = std::min<qsizetype>(data.size(), 8 + qsizetype(DWord(data, 4)));
    // Walks the chunks of a list, descending into "LIST" chunks.
    std::function<void(qsizetype, qsizetype)> walk = [&](qsizetype pos, qsizetype limit) {
        while (pos + 8 <= limit) {
            const QByteArray id = data.mid(pos, 4);
            const qsizetype size = DWord(data, pos + 4);
            const qsizetype body = pos + 8;
            if (size > limit - body)
                return;
            if (id == "LIST" && size >= 4)
                walk(body + 4, body + size);
            else if (id == "anih" && size >= 36)
                displayRate = DWord(data, body + 28);
            else if (id == "rate")
                for (qsizetype i = 0; i + 4 <= size; i += 4)
                    rates.push_back(DWord(data, body + i));
            else if (id == "seq ")
                for (qsizetype i = 0; i + 4 <= size; i += 4)
                    sequence.push_back(DWord(data, body + i));
            else if (id == "icon")
                frames.push_back(DecodeCursorFile(data.mid(body, size)));
            pos = body + size + (size & 1);
        }
    };
    walk(12, end);
    if (frames.empty())
        return nullptr;
    if (sequence.empty())
        for (uint32_t i = 0; i < frames.size(); ++i)
            sequence.push_back(i);
    auto cursor = std::make_shared<TCursorImage>();
    for (size_t step = 0; step < sequence.size(); ++step) {
        if (sequence[step] >= frames.size() || !frames[sequence[step]])
            return nullptr;
        cursor->Frames.push_back(frames[sequence[step]]->Frames.front());
        // Rates are in jiffies of 1/60 second.
        const uint32_t jiffies = step < rates.size() ? rates[step] : displayRate;
        cursor->DelaysMs.push_back(std::max(10, int(std::min<uint32_t>(jiffies, 600) * 1000 / 60)));
    }
    if (cursor->Frames.size() == 1)
        cursor->DelaysMs.clear();
    return cursor;
}

TScreenCursors::TScreenCursors()
{
    static constexpr std::pair<TCursor, Qt::CursorShape> shapes[] = {
        {crDefault, Qt::ArrowCursor},      {crNone, Qt::BlankCursor},        {crArrow, Qt::ArrowCursor},
        {crCross, Qt::CrossCursor},        {crIBeam, Qt::IBeamCursor},       {crSizeNESW, Qt::SizeBDiagCursor},
        {crSizeNS, Qt::SizeVerCursor},     {crSizeNWSE, Qt::SizeFDiagCursor}, {crSizeWE, Qt::SizeHorCursor},
        {crUpArrow, Qt::UpArrowCursor},    {crHourGlass, Qt::WaitCursor},    {crDrag, Qt::DragMoveCursor},
        {crNoDrop, Qt::ForbiddenCursor},   {crHSplit, Qt::SplitHCursor},     {crVSplit, Qt::SplitVCursor},
        {crMultiDrag, Qt::DragCopyCursor}, {crNo, Qt::ForbiddenCursor},      {crAppStart, Qt::BusyCursor},
        {crHelp, Qt::WhatsThisCursor},     {crHandPoint, Qt::PointingHandCursor}, {crSizeAll, Qt::SizeAllCursor},
    };
    for (const auto& [index, shape] : shapes)
        FCursors[index] = StandardCursor(shape);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { NextFrame(); });
}

TScreenCursors::~TScreenCursors()
{
    FTimer.stop();
    if (FOverride && QGuiApplication::instance())
        QGuiApplication::restoreOverrideCursor();
}

HCURSOR TScreenCursors::Handle(TCursor index) const
{
    const auto it = FCursors.find(index);
    return it != FCursors.end() && it->second ? it->second : FCursors.at(crDefault);
}

void TScreenCursors::SetHandle(TCursor index, HCURSOR handle)
{
    if (index != crDefault && (!handle || handle == Handle(crDefault)))
        FCursors.erase(index);
    else if (handle)
        FCursors[index] = std::move(handle);
    if (index == FCursor || (FCursor != crDefault && index == crDefault))
        Show();
}

void TScreenCursors::SetCursor(TCursor cursor)
{
    FCursor = cursor;
    Show();
}

QCursor TScreenCursors::Current() const
{
    const HCURSOR shown = FShown ? FShown : Handle(crDefault);
    return shown->Frames.empty() ? QCursor() : shown->Frames[std::min(FFrame, shown->Frames.size() - 1)];
}

void TScreenCursors::Show()
{
    FTimer.stop();
    FFrame = 0;
    if (FCursor == crDefault) {
        FShown = nullptr;
        if (FOverride) {
            QGuiApplication::restoreOverrideCursor();
            FOverride = false;
        }
        return;
    }
    FShown = Handle(FCursor);
    if (FShown->Frames.empty())
        return;
    if (FOverride)
        QGuiApplication::changeOverrideCursor(FShown->Frames.front());
    else
        QGuiApplication::setOverrideCursor(FShown->Frames.front());
    FOverride = true;
    if (!FShown->DelaysMs.empty())
        FTimer.start(FShown->DelaysMs.front());
}

void TScreenCursors::NextFrame()
{
    if (!FShown || FShown->Frames.size() < 2)
        return;
    FFrame = (FFrame + 1) % FShown->Frames.size();
    QGuiApplication::changeOverrideCursor(FShown->Frames[FFrame]);
    FTimer.start(FShown->DelaysMs[FFrame]);
}

TScreenCursors& ScreenCursors()
{
    static TScreenCursors cursors;
    return cursors;
}

HCURSOR LoadProgramCursor(const QString& name)
{
    const QString resName = IsOrdinal(name) ? QStringLiteral("#%1").arg(name[1].unicode()) : AsciiUpper(name);
    if (const auto data = ReadResource(QStringLiteral(":/res/CURSOR/") + resName))
        return DecodeCursorFile(*data);
    if (const auto data = ReadResource(QStringLiteral(":/res/ANICURSOR/") + resName))
        return DecodeAnimatedCursor(*data);
    return nullptr;
}

TCursorService::TCursorService(TCursorLoader loader) : FLoader(std::move(loader)) {}

TCursorService::~TCursorService()
{
    TScreenCursors& screen = ScreenCursors();
    for (const auto& cursor : FCursors)
        if (cursor->Handle && cursor->Index != 0 && screen.Handle(cursor->Index) == cursor->Handle)
            screen.SetHandle(cursor->Index, screen.Handle(crDefault));
}

TCursor TCursorService::GetCursor(const QString& name, TCursor defaultCursor)
{
    const QString key = IsOrdinal(name) ? name.left(2) : name;
    const QString upper = AsciiUpper(key);
    TCustomCursor* entry = nullptr;
    for (auto it = FCursors.rbegin(); it != FCursors.rend() && !entry; ++it)
        if (AsciiUpper((*it)->Name) == upper)
            entry = it->get();
    if (!entry) {
        FCursors.push_back(std::make_unique<TCustomCursor>());
        entry = FCursors.back().get();
        entry->Name = key;
    }
    TScreenCursors& screen = ScreenCursors();
    if (entry->Handle && entry->Index != 0 && screen.Handle(entry->Index) == entry->Handle)
        return entry->Index;

    const HCURSOR defaultHandle = screen.Handle(crDefault);
    TCursor index = 1;
    while (screen.Handle(index) != defaultHandle)
        ++index;
    entry->Index = index;
    entry->Handle = FLoader ? FLoader(key) : nullptr;
    if (!entry->Handle)
        return defaultCursor;
    screen.SetHandle(index, entry->Handle);
    return index;
}

std::shared_ptr<ICursorService> CursorService()
{
    std::shared_ptr<ICursorService>& service = SharedService();
    if (!service)
        service = std::make_shared<TCursorService>();
    return service;
}

TCursorRecall::TCursorRecall(TCursor newCursor)
{
    Store();
    if (newCursor != -1)
        ScreenCursors().SetCursor(newCursor);
}

TCursorRecall::~TCursorRecall()
{
    if (FSavedCursor != -1)
        ScreenCursors().SetCursor(FSavedCursor);
}

void TCursorRecall::Store() { FSavedCursor = ScreenCursors().Cursor(); }

void TCursorRecall::Forget() { FSavedCursor = -1; }

std::shared_ptr<IRecall> SaveCursor(TCursor newCursor) { return std::make_shared<TCursorRecall>(newCursor); }

void RefreshCursor() { QCursor::setPos(QCursor::pos()); }

void koCursorService_Initialize() {}

void koCursorService_Finalize() { SharedService().reset(); }
