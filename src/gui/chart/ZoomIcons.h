#pragma once
#include <QPixmap>

namespace thermivo {

/// A magnifying glass with a plus (zoom in) or minus (zoom out) sign in its lens, drawn at size x size
/// device-independent pixels for the given device pixel ratio.
QPixmap magnifierPixmap(int size, bool plus, qreal devicePixelRatio = 1.0);

}  // namespace thermivo
