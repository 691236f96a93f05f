#pragma once
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace thermivo::winmsg {

// Private messages of the main window. The numbers are the instrument link's own (WM_USER + 0x66 ..
// WM_USER + 0x6E), so the link side and the window agree on them.
inline constexpr unsigned WM_USER = 0x0400;
inline constexpr unsigned WM_DOWNLOAD_PROGRESS = WM_USER + 0x66;
inline constexpr unsigned WM_PORT_CHANGE = WM_USER + 0x67;
inline constexpr unsigned WM_HEADER_DECODED = WM_USER + 0x68;
inline constexpr unsigned WM_REPLY_WAIT = WM_USER + 0x69;
inline constexpr unsigned WM_CALIBRATION_ENABLE = WM_USER + 0x6A;
inline constexpr unsigned WM_PORT_LOST = WM_USER + 0x6B;
inline constexpr unsigned WM_STATUS_DECODED = WM_USER + 0x6C;
inline constexpr unsigned WM_DATA_INDICATOR = WM_USER + 0x6D;
inline constexpr unsigned WM_LINK_INDICATOR = WM_USER + 0x6E;

/// A posted window message: delivered later on the receiver's thread, in posting order.
class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    WindowMessageEvent(unsigned message, long wParam, long lParam)
        : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam) {}
    unsigned message() const { return message_; }
    long wParam() const { return wParam_; }
    long lParam() const { return lParam_; }

private:
    unsigned message_;
    long wParam_;
    long lParam_;
};

/// Posts a message to `target`; safe from any thread. A null target drops the message.
inline void postWindowMessage(QObject* target, unsigned message, long wParam, long lParam) {
    if (target == nullptr) return;
    QCoreApplication::postEvent(target, new WindowMessageEvent(message, wParam, lParam));
}

}  // namespace thermivo::winmsg
