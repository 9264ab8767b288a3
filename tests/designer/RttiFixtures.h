// Objects with one published property of every kind the designer's property layer serves.
#pragma once

#include "designer/koDesignRTTI.h"
#include "model/koResourcesItem.h"
#include "platform/Bitmap.h"
#include "platform/Graphics.h"
#include "platform/Icon.h"
#include "platform/ShortCuts.h"

#include <QObject>

namespace RttiFixture {
Q_NAMESPACE
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
Q_ENUM_NS(TAlign)
enum TFontStyleValue { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyleValue)
Q_FLAG_NS(TFontStyles)
// Bit 1 has no key: a value may hold it all the same (read from a file).
enum TGapValue { gpFirst = 1, gpThird = 4 };
Q_DECLARE_FLAGS(TGaps, TGapValue)
Q_FLAG_NS(TGaps)
} // namespace RttiFixture

class TSampleFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(TFontName Name MEMBER FName)
    Q_PROPERTY(RttiFixture::TFontStyles Style MEMBER FStyle)
    Q_PROPERTY(int Size MEMBER FSize)
    Q_PROPERTY(TColor Color MEMBER FColor)

public:
    TFontName FName{QStringLiteral("Tahoma")};
    RttiFixture::TFontStyles FStyle;
    int FSize = 8;
    TColor FColor = clBlack;
};

class TSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER FWidth)
    Q_PROPERTY(uint Mask MEMBER FMask)
    Q_PROPERTY(ushort Small MEMBER FSmall)
    Q_PROPERTY(qint64 Big MEMBER FBig)
    Q_PROPERTY(TColor Color MEMBER FColor)
    Q_PROPERTY(TCursorValue Cursor MEMBER FCursor)
    Q_PROPERTY(TFontCharset Charset MEMBER FCharset)
    Q_PROPERTY(TModalResult ModalResult MEMBER FModalResult)
    Q_PROPERTY(TShortCut ShortCut MEMBER FShortCut)
    Q_PROPERTY(QChar Letter MEMBER FLetter)
    Q_PROPERTY(RttiFixture::TAlign Align MEMBER FAlign)
    Q_PROPERTY(bool Enabled MEMBER FEnabled)
    Q_PROPERTY(RttiFixture::TFontStyles Style MEMBER FStyle)
    Q_PROPERTY(QString Hint MEMBER FHint)
    Q_PROPERTY(TCaption Caption MEMBER FCaption)
    Q_PROPERTY(double Ratio MEMBER FRatio)
    Q_PROPERTY(float Scale MEMBER FScale)
    Q_PROPERTY(TDate Date MEMBER FDate)
    Q_PROPERTY(TTime Time MEMBER FTime)
    Q_PROPERTY(TDateTime Stamp MEMBER FStamp)
    Q_PROPERTY(QVariant Tag MEMBER FTag)
    Q_PROPERTY(TSampleFont* Font READ Font)
    Q_PROPERTY(TSample* Peer MEMBER FPeer)
    Q_PROPERTY(QObject* Link MEMBER FLink)
    Q_PROPERTY(TGraphic* Picture MEMBER FPicture)
    Q_PROPERTY(TMethod OnClick MEMBER FOnClick)
    // Refuses negative numbers, as a model object refuses a value it cannot hold.
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(int Fixed READ Fixed)
    Q_PROPERTY(RttiFixture::TGaps Gaps MEMBER FGaps)

public:
    int FWidth = 0;
    uint FMask = 0;
    ushort FSmall = 0;
    qint64 FBig = 0;
    TColor FColor = clBlack;
    TCursorValue FCursor;
    TFontCharset FCharset;
    TModalResult FModalResult;
    TShortCut FShortCut;
    QChar FLetter;
    RttiFixture::TAlign FAlign = RttiFixture::alNone;
    bool FEnabled = false;
    RttiFixture::TFontStyles FStyle;
    QString FHint;
    TCaption FCaption;
    double FRatio = 0;
    float FScale = 0;
    TDate FDate;
    TTime FTime;
    TDateTime FStamp;
    QVariant FTag;
    TSampleFont FFont;
    TSample* FPeer = nullptr;
    QObject* FLink = nullptr;
    TGraphic* FPicture = nullptr;
    TMethod FOnClick;
    int FCount = 0;
    RttiFixture::TGaps FGaps;

    TSampleFont* Font() { return &FFont; }
    int Count() const { return FCount; }
    void SetCount(int Value)
    {
        if (Value < 0) throw EInvalidOperation(QStringLiteral("Count cannot be negative"));
        FCount = Value;
    }
    int Fixed() const { return 7; }
};

// Another class with some of the same names: Width of the same type, Color of another.
class TOtherSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER FWidth)
    Q_PROPERTY(int Color MEMBER FColor)
    Q_PROPERTY(QString Hint MEMBER FHint)

public:
    int FWidth = 0;
    int FColor = 0;
    QString FHint;
};

// Shows its TextID under another name, as dialog controls do.
class TMappedSample : public QObject, public IPropertyMap {
    Q_OBJECT
    Q_PROPERTY(QString TextID MEMBER FText)
    Q_PROPERTY(int Width MEMBER FWidth)

public:
    explicit TMappedSample(const QString& shownAs) : FShownAs(shownAs) {}
    QString MapPropertyName(const QString& Name) override { return Name == QLatin1String("TextID") ? FShownAs : Name; }
    QString FText;
    int FWidth = 0;
    QString FShownAs;
};

// The list the inspector uses picks the refined classes; components are found among known objects.
class TRefinedPropertyList : public TRunTimePropertyList {
public:
    using TRunTimePropertyList::TRunTimePropertyList;
    TRunTimePropertyClass GetPropertyClass(PPropInfo PropInfo) override { return RefinedPropertyClass(PropInfo); }
    std::unique_ptr<TRunTimePropertyList> NewList(TRunTimeProperty* AOwner) override
    {
        auto list = std::make_unique<TRefinedPropertyList>(AOwner);
        list->Components = Components;
        return list;
    }
    QObject* FindComponent(const QString& Name) override
    {
        for (QObject* c : Components)
            if (c->objectName() == Name) return c;
        return nullptr;
    }
    void GetMethodValue(TRunTimeProperty* AProperty, QString& Text) override
    {
        const TMethod m = static_cast<TRunTimeMethodProperty*>(AProperty)->AsMethod();
        Text = QString::fromLatin1(m.Code);
    }
    void GetMethodAddress(TRunTimeProperty*, const QString& MethodName, TMethod& Method) override
    {
        Method = MethodName.isEmpty() ? TMethod() : TMethod{MethodTarget, MethodName.toLatin1()};
    }
    QList<QObject*> Components;
    QObject* MethodTarget = nullptr;
};
