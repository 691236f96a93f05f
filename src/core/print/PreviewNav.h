#pragma once
#include <string>

namespace thermivo {

/// Page counter text: "%d/%d" followed by eleven spaces (`longPad` false) or fifteen spaces (true).
std::string pageCounterText(int currentPage, int pageTotal, bool longPad);

/// Which of the four page buttons (first, previous, next, last) may be pressed.
struct NavButtons {
    bool first = false, previous = false, next = false, last = false;
};
NavButtons navButtonsFor(int currentPage, int pageTotal);

/// The scroll position steps of a text page in the preview.
inline constexpr int kWheelStep = 20;
inline constexpr int kScrollPageStep = 20;

/// The preview's scroll and page state that a mouse-wheel notch changes.
struct WheelState {
    int scrollPos = 0;        ///< scroll bar position = band offset, 0 .. maxPos
    int wheelOverscroll = 0;  ///< notches pushed beyond either end of the page
    int currentPage = 1;
};

enum class WheelAction {
    None,          ///< nothing changes on screen
    Scroll,        ///< the band moved to `state.scrollPos`
    PageForward,   ///< `state.currentPage` advanced; show its top
    PageBackward,  ///< `state.currentPage` went back; show its bottom
};

/// One wheel notch (`down` true scrolls towards the bottom). Within the page the band moves by 20; each
/// notch beyond an end counts `wheelOverscroll`, and from the fourth on every notch in that direction turns
/// a page. A notch in the other direction starts counting afresh.
WheelAction wheelNotch(WheelState& state, bool down, int maxPos, int pageTotal);

}  // namespace thermivo
