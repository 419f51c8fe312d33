#pragma once
// Nine-slice scaling of a skin region: corners copied unscaled, edges
// stretched along their length, the centre stretched both ways; nearest-pixel
// stretching so that a skin's transparent colour stays exact.
#include <QImage>
#include <QRect>

namespace tarvex {

struct Borders {
    int top = 0, bottom = 0, left = 0, right = 0;
};

// Renders region `source` of `skin` into `target` (already of the wanted
// size). False when a corner does not fit in the source region.
bool NineSlice(const QImage& skin, QRect source, Borders b, QImage& target);

}  // namespace tarvex
