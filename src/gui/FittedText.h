#pragma once
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QSize>
#include <QString>

namespace thermivo {

/// Smallest pixel size a caption shrinks to; below it a text stops being readable.
inline constexpr int kMinCaptionPixels = 7;

/// Pixel size of a font, whether it was given in pixels or in points.
int fontPixels(const QFont& font);

/// Width of the widest line of `text` in `font`.
int widestLine(const QFont& font, const QString& text);

/// `font`, or a smaller copy of it, in which every line of `text` fits `room` (width, and height when the
/// height is positive); it never goes below `minPixels`, so the result may still be too large.
QFont fittedFont(const QFont& font, const QString& text, const QSize& room,
                 int minPixels = kMinCaptionPixels);

/// A push button whose caption always shows whole: its font shrinks to fit the button, and a multi-line
/// caption that cannot fit the height even then is shown on one line. An empty caption shows the
/// placeholder, so the button never looks broken.
class FittedButton : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

    void setPlaceholder(const QString& placeholder);
    const QString& placeholder() const { return placeholder_; }
    /// The caption as painted (the placeholder when empty, lines joined when they cannot be stacked).
    QString shownText() const;
    /// The font the caption is painted in.
    QFont shownFont() const;
    /// Room for the caption inside the button's frame.
    QSize textRoom() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString placeholder_;
};

/// The main window's status line: the whole message when it fits. A message about a file keeps its
/// leading words whole and shortens the file name in the middle; any other message shrinks its font, and
/// only cut at the end when even the smallest font is too wide. The tooltip holds the whole text.
class StatusLine : public QLabel {
    Q_OBJECT
  public:
    explicit StatusLine(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    /// Length of the leading words of a file message (the text before the file name), 0 for other messages.
    static int fileNameStart(const QString& message);
    /// The text as painted and its font, for the current width.
    QString shownText() const;
    QFont shownFont() const;
    int textRoom() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Shown {
        QString text;
        QFont font;
    };
    Shown layoutText() const;
};

}  // namespace thermivo
