#include "shell/koCursorService.h"

#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "platform/BinaryReader.h"
#include "platform/Streams.h"

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

namespace {
// One image of a cursor (hot spot as stored) or of an icon (hot spot in the middle).
QCursor FrameCursor(TCustomIconCursorResourceItem* Frame)
{
    const bool isIcon = Frame->GetImageType() == 1;
    const std::unique_ptr<TIcon> icon = ItemToIcon(Frame, isIcon);
    const QPoint hotspot = isIcon ? QPoint(icon->Width() / 2, icon->Height() / 2) : icon->Hotspot();
    return QCursor(QPixmap::fromImage(icon->ToQImage()), hotspot.x(), hotspot.y());
}
} // namespace

HCURSOR DecodeCursorFile(const QByteArray& data)
{
    const TBinaryReader file(data);
    if (!file.Has(0, 4) || file.U16(2) != 2)
        return nullptr;
    try {
        TCursorResourceItem item;
        TBytesStream stream(data);
        item.LoadFromFileStream(stream);
        auto cursor = std::make_shared<TCursorImage>();
        cursor->Frames.push_back(FrameCursor(&item));
        return cursor;
    } catch (const Exception&) {
        return nullptr;
    }
}

HCURSOR DecodeAnimatedCursor(const QByteArray& data)
{
    try {
        TAnimatedCursorResourceItem item;
        TBytesStream stream(data);
        item.LoadFromStream(stream, data.size());
        if (item.FrameCount() == 0)
            return nullptr;
        std::vector<QCursor> frames;
        for (int i = 0; i < item.FrameCount(); ++i)
            frames.push_back(FrameCursor(item.Frame(i)));
        auto cursor = std::make_shared<TCursorImage>();
        const auto addStep = [&](int frame, int jiffies) {
            cursor->Frames.push_back(frames[size_t(std::clamp(frame, 0, int(frames.size()) - 1))]);
            // Rates are in jiffies of 1/60 second.
            cursor->DelaysMs.push_back(std::max(10, std::clamp(jiffies, 0, 600) * 1000 / 60));
        };
        const TAnimatedIconSequence* sequence = item.Sequence();
        if (sequence->Count() == 0) {
            for (int i = 0; i < item.FrameCount(); ++i)
                addStep(i, item.DefaultDisplayRate());
        } else {
            for (int i = 0; i < sequence->Count(); ++i)
                addStep(sequence->Items(i)->FrameIndex(), sequence->Items(i)->DisplayRate());
        }
        if (cursor->Frames.size() == 1)
            cursor->DelaysMs.clear();
        return cursor;
    } catch (const Exception&) {
        return nullptr;
    }
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
