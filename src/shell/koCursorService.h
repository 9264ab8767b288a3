#pragma once

// Named cursor resources mapped to indexes of the screen cursor table, loaded once; a scoped change
// of the screen cursor (SaveCursor) for long operations.

#include <QByteArray>
#include <QCursor>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

using TCursor = int;

enum : TCursor {
    crDefault = 0,
    crNone = -1,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crSizeNESW = -6,
    crSizeNS = -7,
    crSizeNWSE = -8,
    crSizeWE = -9,
    crUpArrow = -10,
    crHourGlass = -11,
    crDrag = -12,
    crNoDrop = -13,
    crHSplit = -14,
    crVSplit = -15,
    crMultiDrag = -16,
    crNo = -18,
    crAppStart = -19,
    crHelp = -20,
    crHandPoint = -21,
    crSizeAll = -22,
};

// A loaded cursor: one frame, or the frames of an animated cursor with their delays.
struct TCursorImage
{
    std::vector<QCursor> Frames;
    std::vector<int> DelaysMs; // one per frame; empty for a still cursor
};
using HCURSOR = std::shared_ptr<const TCursorImage>;

// A cursor file (.cur, PNG or DIB images; the first image and its hot spot) or an animated cursor
// (RIFF "ACON"), read by the cursor kinds. Null for data that is neither.
HCURSOR DecodeCursorFile(const QByteArray& data);
HCURSOR DecodeAnimatedCursor(const QByteArray& data);

// The screen cursor table and the screen cursor, shown as the application's override cursor.
class TScreenCursors
{
public:
    TScreenCursors();
    ~TScreenCursors();

    // An index that holds nothing reads as the default cursor's handle.
    HCURSOR Handle(TCursor index) const;
    void SetHandle(TCursor index, HCURSOR handle);

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);
    // The frame shown now (the default cursor's first frame while the screen cursor is crDefault).
    QCursor Current() const;

private:
    void Show();
    void NextFrame();

    std::map<TCursor, HCURSOR> FCursors;
    TCursor FCursor = crDefault;
    HCURSOR FShown;
    size_t FFrame = 0;
    bool FOverride = false;
    QTimer FTimer;
};

TScreenCursors& ScreenCursors();

class ICursorService
{
public:
    virtual ~ICursorService() = default;
    virtual TCursor GetCursor(const QString& name, TCursor defaultCursor) = 0;
};

// Loads a named cursor of the program; null when there is none.
using TCursorLoader = std::function<HCURSOR(const QString& name)>;

// The program's cursors: the Qt resources ":/res/CURSOR/<NAME>" and ":/res/ANICURSOR/<NAME>"
// (an ordinal name as "#<number>").
HCURSOR LoadProgramCursor(const QString& name);

class TCursorService : public ICursorService
{
public:
    struct TCustomCursor
    {
        QString Name;
        TCursor Index = 0;
        HCURSOR Handle;
    };

    explicit TCursorService(TCursorLoader loader = LoadProgramCursor);
    ~TCursorService() override;

    TCursor GetCursor(const QString& name, TCursor defaultCursor) override;

private:
    TCursorLoader FLoader;
    std::vector<std::unique_ptr<TCustomCursor>> FCursors;
};

std::shared_ptr<ICursorService> CursorService();

class IRecall
{
public:
    virtual ~IRecall() = default;
    virtual void Store() = 0;
    virtual void Forget() = 0;
};

class TCursorRecall : public IRecall
{
public:
    explicit TCursorRecall(TCursor newCursor);
    ~TCursorRecall() override;
    TCursorRecall(const TCursorRecall&) = delete;
    TCursorRecall& operator=(const TCursorRecall&) = delete;

    void Store() override;
    void Forget() override;
    TCursor SavedCursor() const { return FSavedCursor; }

private:
    TCursor FSavedCursor = -1;
};

// Shows NewCursor (-1: leaves the cursor) until the result is released, then puts back the cursor
// that was shown before.
std::shared_ptr<IRecall> SaveCursor(TCursor newCursor);
// Makes the window under the mouse ask for its cursor again.
void RefreshCursor();

void koCursorService_Initialize();
void koCursorService_Finalize();
