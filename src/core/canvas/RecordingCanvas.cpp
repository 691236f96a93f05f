#include "canvas/RecordingCanvas.h"

#include <cstdlib>

#include "app/Format.h"

namespace thermivo {

Size RecordingCanvas::textExtent(std::string_view utf8) {
    const int h = std::abs(font_.height);
    const auto chars = static_cast<int>(utf8Length(std::string(utf8)));
    return {chars * h / 2, h};
}

namespace {
template <typename T>
std::vector<T> collect(const std::vector<RecordingCanvas::Op>& ops) {
    std::vector<T> out;
    for (const auto& op : ops)
        if (const T* p = std::get_if<T>(&op)) out.push_back(*p);
    return out;
}
}  // namespace

std::vector<RecordingCanvas::Text> RecordingCanvas::texts() const {
    return collect<Text>(ops);
}
std::vector<RecordingCanvas::Line> RecordingCanvas::lines() const {
    return collect<Line>(ops);
}
std::vector<RecordingCanvas::Polyline> RecordingCanvas::polylines() const {
    return collect<Polyline>(ops);
}

bool RecordingCanvas::hasText(std::string_view s) const {
    for (const auto& op : ops)
        if (const auto* t = std::get_if<Text>(&op); t != nullptr && t->text == s) return true;
    return false;
}

}  // namespace thermivo
