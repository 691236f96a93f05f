#include "FittedText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

#include "QtText.h"
#include "app/UiText.h"

namespace thermivo {

namespace {

// Space the push-button style keeps between its frame and the caption.
constexpr int kButtonMarginX = 8;
constexpr int kButtonMarginY = 4;
// A file name shortened to fewer characters than this says nothing, so the font shrinks first.
constexpr int kMinNameChars = 8;
// The messages that end in a file name.
constexpr int kFileMessageIds[] = {37, 38, 39, 40};

bool fits(const QFont& font, const QString& text, const QSize& room) {
    const QFontMetrics fm(font);
    if (widestLine(font, text) > room.width()) return false;
    if (room.height() <= 0) return true;
    const auto lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    return fm.lineSpacing() * (lines - 1) + fm.height() <= room.height();
}

QFont withPixels(QFont font, int pixels) {
    font.setPixelSize(std::max(1, pixels));
    return font;
}

}  // namespace

int fontPixels(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

int widestLine(const QFont& font, const QString& text) {
    const QFontMetrics fm(font);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

QFont fittedFont(const QFont& font, const QString& text, const QSize& room, int minPixels) {
    const int start = fontPixels(font);
    QFont f = withPixels(font, start);
    for (int px = start; px > minPixels && !fits(f, text, room); --px) f = withPixels(font, px - 1);
    return f;
}

// --- FittedButton -----------------------------------------------------------------------------------------

void FittedButton::setPlaceholder(const QString& placeholder) {
    placeholder_ = placeholder;
    update();
}

QSize FittedButton::textRoom() const {
    return QSize(width() - kButtonMarginX, height() - kButtonMarginY);
}

QString FittedButton::shownText() const {
    const QString caption = text().isEmpty() ? placeholder_ : text();
    if (!caption.contains(QLatin1Char('\n'))) return caption;
    // A caption written one letter per line, or lines too many for a small button, reads better as one line
    // than as a clipped stack.
    if (fits(fittedFont(font(), caption, textRoom()), caption, textRoom())) return caption;
    return QString(caption).remove(QLatin1Char('\n'));
}

QFont FittedButton::shownFont() const {
    return fittedFont(font(), shownText(), textRoom());
}

void FittedButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QFont f = shownFont();
    opt.text = shownText();
    opt.fontMetrics = QFontMetrics(f);
    p.setFont(f);
    p.drawControl(QStyle::CE_PushButton, opt);
}

// --- StatusLine -------------------------------------------------------------------------------------------

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void StatusLine::setMessage(const QString& message) {
    setText(message);
    setToolTip(message.trimmed());
}

int StatusLine::fileNameStart(const QString& message) {
    for (const int id : kFileMessageIds) {
        const QString lead = qs(thermivo::text(id));
        if (!lead.isEmpty() && message.startsWith(lead) && message.size() > lead.size())
            return static_cast<int>(lead.size());
    }
    return 0;
}

int StatusLine::textRoom() const {
    return std::max(0, contentsRect().width() - 2 * margin() - 4);
}

StatusLine::Shown StatusLine::layoutText() const {
    const QString message = text();
    const int room = textRoom();
    const QSize line(room, 0);
    if (fits(font(), message, line)) return {message, font()};

    const int split = fileNameStart(message);
    if (split > 0) {
        const QString lead = message.left(split);
        const QString name = message.mid(split);
        // Keep the font while the lead and a useful part of the name fit; shrink it only when they do not.
        for (int px = fontPixels(font()); px >= kMinCaptionPixels; --px) {
            const QFont f = withPixels(font(), px);
            const QFontMetrics fm(f);
            const int nameRoom = room - fm.horizontalAdvance(lead);
            const bool last = px == kMinCaptionPixels;
            if (fits(f, message, line)) return {message, f};
            if (nameRoom < fm.averageCharWidth() * kMinNameChars && !last) continue;
            return {lead + fm.elidedText(name, Qt::ElideMiddle, std::max(nameRoom, 0)), f};
        }
    }
    const QFont f = fittedFont(font(), message, line);
    return {QFontMetrics(f).elidedText(message, Qt::ElideRight, room), f};
}

QString StatusLine::shownText() const {
    return layoutText().text;
}

QFont StatusLine::shownFont() const {
    return layoutText().font;
}

void StatusLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    drawFrame(&p);
    const Shown shown = layoutText();
    p.setFont(shown.font);
    p.setPen(palette().color(foregroundRole()));
    const QRect r = contentsRect().adjusted(margin() + 2, 0, -margin() - 2, 0);
    p.drawText(r, static_cast<int>(alignment()), shown.text);
}

}  // namespace thermivo
