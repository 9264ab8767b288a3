#pragma once

// A splitter whose handles draw a grip of five bumps around their centre. Qt has no way to change
// the painting of every QSplitter, so forms use this subclass wherever they want the grip.

#include <QPixmap>
#include <QSplitter>
#include <QSplitterHandle>

class TSplitterHandle : public QSplitterHandle
{
    Q_OBJECT

public:
    TSplitterHandle(Qt::Orientation orientation, QSplitter* parent);

    // The handle's thickness across the panes it separates.
    int Thickness() const;
    // The side of one bump: 2 on a handle thinner than 4 pixels, else 3.
    int BumpSize() const { return Thickness() < 4 ? 2 : 3; }
    // The top-left corners of the five bumps.
    QList<QPoint> BumpPositions() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap MakeBump() const;

    QPixmap FBumpBrush; // made on the first paint
};

class TSplitter : public QSplitter
{
    Q_OBJECT

public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override;
};
