#pragma once
#include <QString>
#include <string>

namespace thermivo {

/// The core's UTF-8 text as a QString, at the edge where it reaches a widget.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace thermivo
