#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestrune::ui {

// Where a window stored at `stored` (the top left corner of its outer size, frame included)
// is put among the
// screens' usable areas: where it was while its title bar lies on one screen, wide enough to
// take hold of; else on the nearest screen, moved no further than it must to lie whole on it
// (its top left corner on it when it is larger). A monitor unplugged since, or a hand-edited
// position, would otherwise leave the window where nobody can reach it. No screens: as stored.
QPoint placeOnScreens(QPoint stored, QSize size, const QList<QRect>& screens, int titleHeight);

}  // namespace kestrune::ui
