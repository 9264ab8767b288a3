// Text wrapped to a width in pixels, for message boxes.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringView>

#include <functional>

// The width in pixels a piece of text takes.
using TTextWidth = std::function<int(QStringView)>;

// Text broken into lines no wider than MaxWidth pixels as far as single words allow, the lines joined
// by a carriage return alone. Breaks only at blanks and tabs, which lines never start with; a carriage
// return in the text ends its line; a line feed is an ordinary character.
QString WrapText(const QFont& Font, const QString& Text, int MaxWidth);
QString WrapText(const QFontMetrics& Metrics, const QString& Text, int MaxWidth);
QString WrapText(const TTextWidth& TextWidth, const QString& Text, int MaxWidth);
