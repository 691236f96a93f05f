#pragma once
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "link/LinkMessages.h"

namespace thermivo::winmsg {

// The message numbers are the link's (`LinkMessage`): WM_DOWNLOAD_PROGRESS 0x466 .. WM_LINK_INDICATOR 0x46E.

/// A posted window message: delivered later on the receiver's thread, in posting order.
class WindowMessageEvent : public QEvent {
  public:
    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    WindowMessageEvent(unsigned message, std::int64_t wParam, std::int64_t lParam)
        : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam) {}
    unsigned message() const { return message_; }
    std::int64_t wParam() const { return wParam_; }
    std::int64_t lParam() const { return lParam_; }

  private:
    unsigned message_;
    std::int64_t wParam_;
    std::int64_t lParam_;
};

/// Posts a message to `target`; safe from any thread. A null target drops the message.
inline void postWindowMessage(QObject* target, unsigned message, std::int64_t wParam, std::int64_t lParam) {
    if (target == nullptr) return;
    QCoreApplication::postEvent(target, new WindowMessageEvent(message, wParam, lParam));
}

}  // namespace thermivo::winmsg
