// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small row images of the detail lists: 0 an ordinary row, 1 a node silent
// for a day, 2 a node new within the day. Drawn once, not loaded from files.
#include <QIcon>
#include <array>

namespace ortolan {

inline constexpr int kSmallImageCount = 3;

using SmallImages = std::array<QIcon, kSmallImageCount>;

// Needs the GUI application; each list model draws its own set once.
SmallImages MakeSmallImages();
// An unknown index gives image 0.
const QIcon& SmallImage(const SmallImages& images, int index);

}  // namespace ortolan
