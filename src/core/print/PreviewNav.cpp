#include "print/PreviewNav.h"

#include "app/Format.h"

namespace thermivo {

std::string pageCounterText(int currentPage, int pageTotal, bool longPad) {
    return format("%d/%d", currentPage, pageTotal) + std::string(longPad ? 15 : 11, ' ');
}

NavButtons navButtonsFor(int currentPage, int pageTotal) {
    NavButtons b;
    if (pageTotal <= 1) return b;
    b.first = b.previous = currentPage != 1;
    b.next = b.last = currentPage != pageTotal;
    return b;
}

WheelAction wheelNotch(WheelState& s, bool down, int maxPos, int pageTotal) {
    const int step = down ? 1 : -1;
    // A page turned by the wheel shows the new page's edge; more notches the same way keep turning.
    const bool streak = (down && s.wheelOverscroll > 3) || (!down && s.wheelOverscroll < -3);
    if (!streak) {
        if ((down && s.wheelOverscroll < 0) || (!down && s.wheelOverscroll > 0)) s.wheelOverscroll = 0;
        int pos = s.scrollPos + step * kWheelStep;
        if (pos < 0) {
            pos = 0;
            --s.wheelOverscroll;
        } else if (pos > maxPos) {
            pos = maxPos;
            ++s.wheelOverscroll;
        } else {
            s.wheelOverscroll = 0;
        }
        if (s.wheelOverscroll >= -1 && s.wheelOverscroll <= 1) {
            s.scrollPos = pos;
            return WheelAction::Scroll;
        }
        if (s.wheelOverscroll >= -3 && s.wheelOverscroll <= 3) return WheelAction::None;
    } else {
        s.wheelOverscroll += step;
    }
    if (down) {
        if (s.currentPage >= pageTotal) return WheelAction::None;
        ++s.currentPage;
        s.scrollPos = 0;
        return WheelAction::PageForward;
    }
    if (s.currentPage <= 1) return WheelAction::None;
    --s.currentPage;
    s.scrollPos = maxPos;
    return WheelAction::PageBackward;
}

}  // namespace thermivo
