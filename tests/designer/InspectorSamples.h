// Objects the inspector tests look at: every kind of row the inspector shows, and setters that refuse.
#pragma once

#include "platform/Exceptions.h"
#include "platform/Graphics.h"

#include <QObject>

namespace InspectorSamples {
Q_NAMESPACE
enum TSampleKind { skFirst, skSecond, skThird };
Q_ENUM_NS(TSampleKind)
enum TSampleOptionValue { soAlpha = 0x1, soBeta = 0x2, soGamma = 0x4 };
Q_DECLARE_FLAGS(TSampleOptions, TSampleOptionValue)
Q_FLAG_NS(TSampleOptions)
} // namespace InspectorSamples

// The object an object-valued property refers to.
class TInspectorSampleChild : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Label READ Label WRITE SetLabel)
    Q_PROPERTY(int Size READ Size WRITE SetSize)

public:
    QString Label() const { return FLabel; }
    void SetLabel(const QString& Value) { FLabel = Value; }
    int Size() const { return FSize; }
    void SetSize(int Value) { FSize = Value; }

private:
    QString FLabel = QStringLiteral("inner");
    int FSize = 8;
};

class TInspectorSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(InspectorSamples::TSampleKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(InspectorSamples::TSampleOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TInspectorSampleChild* Child READ Child)
    Q_PROPERTY(int Limit READ Limit WRITE SetLimit)
    Q_PROPERTY(int Fixed READ Fixed)

public:
    explicit TInspectorSample(QObject* Parent = nullptr) : QObject(Parent) { FChild.setParent(this); }

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value)
    {
        ++CaptionWrites;
        FCaption = Value;
    }
    int Count() const { return FCount; }
    void SetCount(int Value)
    {
        ++CountWrites;
        FCount = Value;
    }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    InspectorSamples::TSampleKind Kind() const { return FKind; }
    void SetKind(InspectorSamples::TSampleKind Value) { FKind = Value; }
    InspectorSamples::TSampleOptions Options() const { return FOptions; }
    void SetOptions(InspectorSamples::TSampleOptions Value) { FOptions = Value; }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    TInspectorSampleChild* Child() { return &FChild; }
    // Values above MaxLimit are refused by the object.
    int Limit() const { return FLimit; }
    void SetLimit(int Value)
    {
        if (Value > MaxLimit) throw EInvalidOperation(QStringLiteral("Limit %1 is too large").arg(Value));
        FLimit = Value;
    }
    int Fixed() const { return 7; }

    int CaptionWrites = 0;
    int CountWrites = 0;
    int MaxLimit = 100;

private:
    QString FCaption = QStringLiteral("Sample");
    int FCount = 3;
    bool FVisible = false;
    InspectorSamples::TSampleKind FKind = InspectorSamples::skFirst;
    InspectorSamples::TSampleOptions FOptions = InspectorSamples::soBeta;
    TColor FColor{0x0000FF};
    TInspectorSampleChild FChild;
    int FLimit = 10;
};

// Another class that shares some properties with the sample.
class TInspectorOther : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(QString Count2 READ Count2)
    Q_PROPERTY(QString Visible READ Visible)
    Q_PROPERTY(int Limit READ Limit WRITE SetLimit)

public:
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value) { FCaption = Value; }
    int Count() const { return FCount; }
    void SetCount(int Value) { FCount = Value; }
    QString Count2() const { return QString(); }
    // Same name as the sample's, another type: never a common row.
    QString Visible() const { return QStringLiteral("yes"); }
    int Limit() const { return FLimit; }
    void SetLimit(int Value) { FLimit = Value; }

private:
    QString FCaption = QStringLiteral("Sample");
    int FCount = 5;
    int FLimit = 10;
};
