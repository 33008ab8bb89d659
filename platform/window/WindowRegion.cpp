#include "platform/window/WindowRegion.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {

WindowRegion WindowRegion::RoundRect(const Rect& rect, int ellipseWidth, int ellipseHeight) {
    WindowRegion region;
    region.top_ = rect.top;
    if (rect.Empty()) return region;
    const double rx = std::min(std::max(ellipseWidth, 0), rect.Width()) / 2.0;
    const double ry = std::min(std::max(ellipseHeight, 0), rect.Height()) / 2.0;
    region.rows_.reserve(rect.Height());
    for (int y = rect.top; y < rect.bottom; ++y) {
        // Distance of the row's centre line into the corner band, measured from the ellipse
        // centre; rows outside both bands keep the full width.
        const double cy = y + 0.5;
        double dy = 0;
        if (cy < rect.top + ry) dy = rect.top + ry - cy;
        else if (cy > rect.bottom - ry) dy = cy - (rect.bottom - ry);
        int inset = 0;
        if (ry > 0 && dy > 0) {
            const double t = std::min(dy / ry, 1.0);
            inset = static_cast<int>(std::lround(rx - rx * std::sqrt(1.0 - t * t)));
        }
        region.rows_.push_back(Span{rect.left + inset, std::max(rect.left + inset, rect.right - inset)});
    }
    return region;
}

WindowRegion::Span WindowRegion::Row(int y) const {
    if (y < top_ || y >= Bottom()) return Span{};
    return rows_[static_cast<size_t>(y - top_)];
}

bool WindowRegion::Contains(Point p) const {
    const Span s = Row(p.y);
    return p.x >= s.left && p.x < s.right;
}

Rect WindowRegion::Bounds() const {
    Rect r{0, 0, 0, 0};
    bool any = false;
    for (int y = top_; y < Bottom(); ++y) {
        const Span s = Row(y);
        if (s.left >= s.right) continue;
        const Rect row{s.left, y, s.right, y + 1};
        r = any ? UnionRect(r, row) : row;
        any = true;
    }
    return r;
}

}  // namespace platform::ui
