// Icons and cursors: the images of icon and cursor groups.
#pragma once

#include "kinds/koResourceItemImage.h"
#include "platform/Icon.h"

#include <memory>

// The item's resource bytes as an icon (Icon) or a cursor (a hot spot, then the image); raises on data
// that is no icon or cursor image.
std::unique_ptr<TIcon> ItemToIcon(TCustomResourceItem* Item, bool Icon);

void koResourceItemIconCursor_Initialize();
void koResourceItemIconCursor_Finalize();
