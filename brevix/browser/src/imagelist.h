// The control's image list: eleven 16 x 16 pictures shared by the tree and the list, in the
// order of BrowserImage.
#pragma once

#include <QIcon>

namespace brevix {

// The picture at an image index; a null icon for IMAGE_NONE or an index out of range.
QIcon ImageAt(int index);
// A tree item's icon: its image, with the selected image shown while it is selected.
QIcon TreeIcon(int image, int selectedImage);

}  // namespace brevix
