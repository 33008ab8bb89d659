#pragma once
// The shape of a window as one horizontal span per row, in client coordinates. Rounded
// window corners are made here; the shadow of a window reads the rows back.
#include <vector>

#include "platform/window/WindowTypes.h"

namespace platform::ui {

class WindowRegion {
public:
    struct Span {
        int left = 0;   // inclusive
        int right = 0;  // exclusive; left == right for an empty row
        friend bool operator==(Span, Span) = default;
    };

    // The rectangle (left, top) to (right, bottom), right and bottom exclusive, with corners
    // rounded by an ellipse of ellipseWidth x ellipseHeight. Zero sizes give square corners.
    static WindowRegion RoundRect(const Rect& rect, int ellipseWidth, int ellipseHeight);

    int Top() const { return top_; }
    int Bottom() const { return top_ + static_cast<int>(rows_.size()); }
    // The span of row y, empty outside the region.
    Span Row(int y) const;
    bool Contains(Point p) const;
    Rect Bounds() const;

    friend bool operator==(const WindowRegion&, const WindowRegion&) = default;

private:
    int top_ = 0;
    std::vector<Span> rows_;
};

}  // namespace platform::ui
