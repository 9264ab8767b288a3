#include "shell/koCursorService.h"

#include "platform/BinaryReader.h"

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
    // The directory: reserved 0, type 2, a count, then the first entry (width, height, colours,
    // reserved, hot spot, size, offset).
    const TBinaryReader file(data);
    if (!file.Has(0, 6 + 16) || file.U16(0) != 0 || file.U16(2) != 2 || file.U16(4) == 0)
        return nullptr;
    const int hotX = file.U16(6 + 4);
    const int hotY = file.U16(6 + 6);
    const uint32_t size = file.U32(6 + 8);
    const std::optional<TBinaryReader> image = file.TrySub(file.U32(6 + 12), size);
    if (!image)
        return nullptr;
    const QByteArray bits = image->Bytes(0, image->Size());
    QImage picture;
    if (bits.startsWith("\x89PNG")) {
        picture.loadFromData(bits, "PNG");
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
        picture.loadFromData(icon + bits, "ICO");
    }
    if (picture.isNull())
        return nullptr;
    auto cursor = std::make_shared<TCursorImage>();
    cursor->Frames.push_back(QCursor(QPixmap::fromImage(picture), hotX, hotY));
    return cursor;
}

HCURSOR DecodeAnimatedCursor(const QByteArray& data)
{
    const TBinaryReader file(data);
    if (!file.Has(0, 12) || !data.startsWith("RIFF") || file.Bytes(8, 4) != "ACON")
        return nullptr;
    std::vector<HCURSOR> frames;
    std::vector<uint32_t> rates;
    std::vector<uint32_t> sequence;
    uint32_t displayRate = 0;
    const int64_t end = std::min<int64_t>(file.Size(), 8 + int64_t(file.U32(4)));
    // The chunks of the lists being walked, innermost last; "LIST" chunks nest. A chunk that runs past
    // its list ends that list.
    std::vector<TBinaryReader> lists;
    if (end > 12)
        lists.push_back(file.Sub(12, end - 12));
    while (!lists.empty()) {
        TBinaryReader& list = lists.back();
        if (list.Remaining() < 8) {
            lists.pop_back();
            continue;
        }
        const QByteArray id = list.ReadBytes(4);
        const uint32_t size = list.ReadU32();
        if (size > list.Remaining()) {
            lists.pop_back();
            continue;
        }
        TBinaryReader body = list.ReadSub(size);
        list.Skip(std::min<int64_t>(size & 1, list.Remaining()));
        if (id == "LIST" && size >= 4) {
            // Real files nest one level; a deeper file is damaged or hostile.
            if (lists.size() >= MaxAnimatedCursorListDepth)
                return nullptr;
            body.Skip(4);
            lists.push_back(body); // list is not used after this
        } else if (id == "anih" && size >= 36) {
            displayRate = body.U32(28);
        } else if (id == "rate") {
            while (body.Remaining() >= 4)
                rates.push_back(body.ReadU32());
        } else if (id == "seq ") {
            while (body.Remaining() >= 4)
                sequence.push_back(body.ReadU32());
        } else if (id == "icon") {
            frames.push_back(DecodeCursorFile(body.Bytes(0, size)));
        }
    }
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
