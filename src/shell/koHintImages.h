#pragma once

// Information pictures beside fields that carry a custom hint.

#include "shell/koGlyphService.h"

#include <QString>

class QWidget;

// Marks a QLabel as an information picture with a custom (balloon) hint; only such labels get the
// picture.
inline constexpr char HintImageProperty[] = "customHint";

// Puts the program's bitmap resName ("HINT_INFO_50_SMALL" when empty) into every marked label among
// container's widgets, searching nested widgets too.
void LoadHintImages(QWidget* container, const QString& resName,
                    const TBitmapResourceFinder& finder = FindProgramBitmap);
