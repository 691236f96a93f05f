#include "FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace thermivo {

namespace {
// Dark blue inside a white line: visible on the yellow window, on white fields and on grey buttons.
const QColor kRingColour(0, 60, 200);
const QColor kHaloColour(255, 255, 255);
}  // namespace

FocusRing::FocusRing(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("focusRing"));
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusRing::follow(QWidget* focused) {
    if (target_ != nullptr) target_->removeEventFilter(this);
    target_ = nullptr;
    if (focused == nullptr || focused == parentWidget() || !parentWidget()->isAncestorOf(focused) ||
        focused->focusPolicy() == Qt::NoFocus) {
        hide();
        return;
    }
    target_ = focused;
    target_->installEventFilter(this);
    place();
}

void FocusRing::place() {
    if (target_ == nullptr || !target_->isVisible()) {
        hide();
        return;
    }
    const QPoint topLeft = target_->mapTo(parentWidget(), QPoint(0, 0));
    setGeometry(QRect(topLeft, target_->size()).adjusted(-kWidth, -kWidth, kWidth, kWidth));
    // Only the frame is painted; the control under the middle stays visible and clickable.
    setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(kWidth, kWidth, -kWidth, -kWidth))));
    show();
    raise();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
                place();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kRingColour);
    // A one-pixel white line outside and inside the blue keeps it apart from dark neighbours.
    p.setPen(kHaloColour);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawRect(rect().adjusted(kWidth - 1, kWidth - 1, -kWidth, -kWidth));
}

}  // namespace thermivo
