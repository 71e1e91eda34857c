// The program's artwork: the application icon (resource 128) and the tree's image strip
// (resource 151: twelve 16-pixel cells on magenta, which counts as transparent).
#pragma once

#include <QIcon>

#include "tree/tree_images.h"

namespace varnotte {

inline constexpr int kAppIconResource = 128;
inline constexpr int kTreeImagesResource = 151;

QIcon ApplicationIcon();
TreeImageList TreeImages();

}  // namespace varnotte
