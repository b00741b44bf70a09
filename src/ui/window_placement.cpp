#include "ui/window_placement.h"

#include <algorithm>
#include <limits>

namespace kestrune::ui {

namespace {

// How much of the title bar's width must show to be taken hold of with the pointer.
constexpr int kGrip = 100;
// Beyond any screen; keeps a stored number near the integer's limits from overflowing.
constexpr int kFar = 1 << 24;

bool titleBarOn(const QRect& titleBar, const QRect& screen) {
    const QRect shown = titleBar.intersected(screen);
    return shown.height() == titleBar.height() &&
           shown.width() >= std::min(kGrip, titleBar.width());
}

// How far the rectangle must move, across and down, to touch the screen; 0 when it does. Taken
// along the axes, so that a window far below one screen comes back onto that screen.
double distance(const QRect& a, const QRect& b) {
    const auto gap = [](int lowA, int highA, int lowB, int highB) {
        return std::max(
            {0.0, static_cast<double>(lowB) - highA, static_cast<double>(lowA) - highB});
    };
    return gap(a.left(), a.right(), b.left(), b.right()) +
           gap(a.top(), a.bottom(), b.top(), b.bottom());
}

int within(int start, int length, int areaStart, int areaLength) {
    if (length >= areaLength) return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

}  // namespace

QPoint placeOnScreens(QPoint at, QSize size, const QList<QRect>& screens, int titleHeight) {
    const QRect stored(QPoint(std::clamp(at.x(), -kFar, kFar), std::clamp(at.y(), -kFar, kFar)),
                       size);
    const QRect titleBar(stored.topLeft(), QSize(stored.width(), titleHeight));
    const QRect* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const QRect& screen : screens) {
        if (titleBarOn(titleBar, screen)) return stored.topLeft();
        const double away = distance(titleBar, screen);
        if (away < nearestDistance) {
            nearestDistance = away;
            nearest = &screen;
        }
    }
    if (nearest == nullptr) return stored.topLeft();
    return {within(stored.x(), stored.width(), nearest->x(), nearest->width()),
            within(stored.y(), stored.height(), nearest->y(), nearest->height())};
}

}  // namespace kestrune::ui
