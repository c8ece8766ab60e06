// The program's images at the size a DPI calls for: the image list and the buttons' state images.
#pragma once

#include "ImageIndex.h"
#include "win32/UiOwners.h"

#include <windows.h>

// The image list of the list rows and the buttons, its images loaded at 16 px scaled to Dpi.
UniqueImageList CreateImageList(UINT Dpi);

// One image per button state (normal, hot, pressed, disabled, default, stylus hot) for Image,
// the disabled one faded; ready for BUTTON_IMAGELIST.
UniqueImageList CreateButtonImages(TImageIndex Image, UINT Dpi);

// The program's icon at Size pixels.
UniqueIcon LoadAppIcon(int Size);
