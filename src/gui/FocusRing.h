#pragma once
#include <QPointer>
#include <QWidget>

namespace thermivo {

/// A thick frame drawn around whichever control of its window has the keyboard focus. The styles' own
/// focus marks are a dotted line or a one-pixel colour change that a keyboard user cannot find on the
/// yellow window; this one looks the same on every control and in every language. It takes neither
/// mouse input nor the focus.
class FocusRing : public QWidget {
    Q_OBJECT
  public:
    /// Watches the focus inside `window` (the ring is a child of it, kept on top).
    explicit FocusRing(QWidget* window);

    /// The control the ring surrounds now, or nullptr when it is hidden.
    QWidget* target() const { return target_; }
    /// Pixels of frame on each side of the control.
    static constexpr int kWidth = 3;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow(QWidget* focused);
    void place();

    QPointer<QWidget> target_;
};

}  // namespace thermivo
