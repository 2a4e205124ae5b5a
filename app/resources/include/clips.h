// The animation clips the program ships, drawn frame by frame: "filecopy.avi" (a page flying
// from a folder to a disk, while a disk is catalogued) and "findfile.avi" (a magnifier moving
// over a folder, while the catalog is searched).
#pragma once

#include "aviclip.h"

namespace resources {

AviClip FileCopyClip();
AviClip FindFileClip();

}  // namespace resources
