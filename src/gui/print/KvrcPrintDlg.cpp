#include "print/KvrcPrintDlg.h"
#include "QtText.h"

#include <QAbstractPrintDialog>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "DialogUnits.h"
#include "FittedText.h"
#include "FocusRing.h"
#include "Prompts.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "print/CupsJobs.h"
#include "print/CurvePage.h"
#include "print/PreviewNav.h"
#include "print/PrintSubmit.h"
#include "print/PrinterMemory.h"
#include "print/TextPage.h"

namespace thermivo {

/// The preview area (control 1108): the dialog paints the page image into it.
class PrintPreviewFrame : public QFrame {
  public:
    PrintPreviewFrame(CKvrcPrintDlg* dialog, QWidget* parent) : QFrame(parent), dialog_(dialog) {
        setFrameShape(QFrame::Box);
        setLineWidth(1);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        QPainter painter(this);
        dialog_->paintPreview(painter);
    }

  private:
    CKvrcPrintDlg* dialog_;
};

namespace {

constexpr QColor kDialogBackground(150, 150, 0);
constexpr QColor kTextBandBackground(215, 215, 215);
constexpr QColor kInvalidLabel(200, 0, 0);
constexpr int kNotch = 120;

constexpr int kDialogWidthDlu = 601;
constexpr int kDialogHeightDlu = 416;

struct Placement {
    int id;
    int x, y, w, h;  // dialog units
};

constexpr Placement kPlacements[] = {
    {CKvrcPrintDlg::IDC_FRAME, 7, 7, 576, 321},         {CKvrcPrintDlg::IDC_SCROLL, 582, 7, 12, 321},
    {CKvrcPrintDlg::IDC_COUNTER, 547, 333, 33, 8},      {CKvrcPrintDlg::IDC_FIRST, 469, 330, 14, 14},
    {CKvrcPrintDlg::IDC_PREV, 489, 330, 14, 14},        {CKvrcPrintDlg::IDC_NEXT, 507, 330, 14, 14},
    {CKvrcPrintDlg::IDC_LAST, 525, 330, 14, 14},        {CKvrcPrintDlg::IDC_SETTINGS_GROUP, 9, 338, 407, 71},
    {CKvrcPrintDlg::IDC_PREVIEW, 21, 354, 50, 14},      {CKvrcPrintDlg::IDC_PAGES_LABEL, 83, 359, 47, 8},
    {CKvrcPrintDlg::IDC_PAGES, 133, 357, 20, 12},       {CKvrcPrintDlg::IDC_PAGES_SPIN, 153, 357, 11, 12},
    {CKvrcPrintDlg::IDC_MODE_GROUP, 287, 348, 103, 24}, {CKvrcPrintDlg::IDC_CURVER, 293, 358, 38, 10},
    {CKvrcPrintDlg::IDC_TEXT, 343, 358, 31, 10},        {CKvrcPrintDlg::IDC_START_LABEL, 81, 386, 50, 8},
    {CKvrcPrintDlg::IDC_START, 133, 385, 100, 13},      {CKvrcPrintDlg::IDC_END_LABEL, 237, 386, 50, 8},
    {CKvrcPrintDlg::IDC_END, 291, 385, 100, 13},        {CKvrcPrintDlg::IDC_PRINT, 425, 380, 40, 27},
    {CKvrcPrintDlg::IDC_EXIT, 539, 386, 50, 17},        {CKvrcPrintDlg::IDC_PRINT_STATUS, 7, 330, 458, 8},
};

/// Width a control needs for its caption in its current font.
int captionWidth(const QWidget* w) {
    const QFontMetrics metrics(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return metrics.horizontalAdvance(label->text()) + 2;
    if (const auto* radio = qobject_cast<const QRadioButton*>(w)) return radio->sizeHint().width();
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        int widest = 0;
        for (const QString& line : button->text().split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        return widest + 8;
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(w))
        return metrics.horizontalAdvance(group->title()) + 16;
    return 0;
}

/// A caption that does not fit its control (a long translation, a small layout factor) gets a smaller
/// font instead of being cut off.
void shrinkFontToFit(QWidget* w) {
    QFont font = w->font();
    while (font.pixelSize() > 6 && captionWidth(w) > w->width()) {
        font.setPixelSize(font.pixelSize() - 1);
        w->setFont(font);
    }
}

QDateTime toPicker(std::int64_t t) {
    const auto p = toLocal(t);
    if (!p) return QDateTime(QDate(1970, 1, 1), QTime(0, 0));
    return QDateTime(QDate(p->year, p->month, p->day), QTime(p->hour, p->minute, p->second));
}

std::int64_t fromPicker(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    return fromLocal(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()).value_or(0);
}

}  // namespace

QIcon navigationIcon(int controlId, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const double s = size;
    const double top = s * 0.2, bottom = s * 0.8, mid = s * 0.5;
    const auto triangle = [&](double tip, double base) {
        QPainterPath path;
        path.moveTo(tip, mid);
        path.lineTo(base, top);
        path.lineTo(base, bottom);
        path.closeSubpath();
        p.drawPath(path);
    };
    const double bar = std::max(1.0, s * 0.12);
    switch (controlId) {
        case CKvrcPrintDlg::IDC_FIRST:
            p.drawRect(QRectF(s * 0.2, top, bar, bottom - top));
            triangle(s * 0.2 + bar, s * 0.8);
            break;
        case CKvrcPrintDlg::IDC_PREV:
            triangle(s * 0.25, s * 0.75);
            break;
        case CKvrcPrintDlg::IDC_NEXT:
            triangle(s * 0.75, s * 0.25);
            break;
        case CKvrcPrintDlg::IDC_LAST:
            triangle(s * 0.8 - bar, s * 0.2);
            p.drawRect(QRectF(s * 0.8 - bar, top, bar, bottom - top));
            break;
        default:
            break;
    }
    return QIcon(pixmap);
}

CKvrcPrintDlg::CKvrcPrintDlg(const Recording& rec, QWidget* parent, float layoutFactor)
    : QDialog(parent), rec_(rec), layoutFactor_(layoutFactor > 0 ? layoutFactor : 1.0f), job_(rec) {
    setObjectName(QStringLiteral("142"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kDialogBackground);
    setPalette(pal);
    createControls();
    initialise();
    new FocusRing(this);
}

CKvrcPrintDlg::~CKvrcPrintDlg() = default;

void CKvrcPrintDlg::createControls() {
    // Creation order is the stacking order: the group boxes lie below the controls they frame.
    settingsGroup_ = new QGroupBox(this);
    modeGroup_ = new QGroupBox(this);
    frame_ = new PrintPreviewFrame(this, this);
    scroll_ = new QScrollBar(Qt::Vertical, this);
    counter_ = new QLabel(this);
    first_ = new QPushButton(this);
    previous_ = new QPushButton(this);
    next_ = new QPushButton(this);
    last_ = new QPushButton(this);
    preview_ = new QPushButton(this);
    pagesLabel_ = new QLabel(this);
    pages_ = new QLineEdit(this);
    spin_ = new QWidget(this);
    spinUp_ = new QToolButton(spin_);
    spinDown_ = new QToolButton(spin_);
    curver_ = new QRadioButton(this);
    text_ = new QRadioButton(this);
    startLabel_ = new QLabel(this);
    start_ = new QDateTimeEdit(this);
    endLabel_ = new QLabel(this);
    end_ = new QDateTimeEdit(this);
    print_ = new QPushButton(this);
    exit_ = new QPushButton(this);
    status_ = new QLabel(this);

    const std::pair<QWidget*, int> ids[] = {
        {frame_, IDC_FRAME},
        {scroll_, IDC_SCROLL},
        {counter_, IDC_COUNTER},
        {first_, IDC_FIRST},
        {previous_, IDC_PREV},
        {next_, IDC_NEXT},
        {last_, IDC_LAST},
        {settingsGroup_, IDC_SETTINGS_GROUP},
        {preview_, IDC_PREVIEW},
        {pagesLabel_, IDC_PAGES_LABEL},
        {pages_, IDC_PAGES},
        {spin_, IDC_PAGES_SPIN},
        {modeGroup_, IDC_MODE_GROUP},
        {curver_, IDC_CURVER},
        {text_, IDC_TEXT},
        {startLabel_, IDC_START_LABEL},
        {start_, IDC_START},
        {endLabel_, IDC_END_LABEL},
        {end_, IDC_END},
        {print_, IDC_PRINT},
        {exit_, IDC_EXIT},
        {status_, IDC_PRINT_STATUS},
    };
    for (const auto& [widget, id] : ids) widget->setObjectName(QString::number(id));

    // Static texts and radio buttons keep the ordinary window colour; the two range labels stay transparent.
    for (QWidget* w : std::initializer_list<QWidget*>{counter_, pagesLabel_, curver_, text_}) {
        w->setAutoFillBackground(true);
        QPalette p = w->palette();
        p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
        w->setPalette(p);
    }
    pagesLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    startLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    endLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    counter_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    counter_->setTextFormat(Qt::PlainText);
    status_->setTextFormat(Qt::PlainText);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    pages_->setAlignment(Qt::AlignCenter);
    // The user types a curve page count of at most two digits, but the field also shows the text page
    // count the dialog writes into it, which may be longer: the limit is on typing, not on the text.
    pages_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), pages_));
    spinUp_->setArrowType(Qt::UpArrow);
    spinDown_->setArrowType(Qt::DownArrow);
    spinUp_->setObjectName(QStringLiteral("1095.up"));
    spinDown_->setObjectName(QStringLiteral("1095.down"));
    spinUp_->setAutoRepeat(true);
    spinDown_->setAutoRepeat(true);
    spinUp_->setFocusPolicy(Qt::NoFocus);
    spinDown_->setFocusPolicy(Qt::NoFocus);

    for (QDateTimeEdit* picker : {start_, end_}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    print_->setText(QString());
    for (QPushButton* b : {first_, previous_, next_, last_, preview_, print_, exit_}) {
        b->setAutoDefault(true);
        b->setDefault(false);
    }
    scroll_->setSingleStep(1);
    scroll_->setPageStep(kScrollPageStep);
    frame_->installEventFilter(this);
    scroll_->installEventFilter(this);
}

void CKvrcPrintDlg::setCaptions() {
    setWindowTitle(tr("Print Preview"));
    settingsGroup_->setTitle(qs(text(42)));
    preview_->setText(qs(text(43)));
    pagesLabel_->setText(qs(text(44)));
    curver_->setText(qs(text(45)));
    text_->setText(qs(text(46)));
    startLabel_->setText(qs(text(47)));
    endLabel_->setText(qs(text(48)));
    print_->setText(qs(text(49)));
    exit_->setText(qs(text(50)));
    // The page buttons show arrows only, and the field and pickers have their label beside them, not in them.
    const std::pair<QWidget*, int> names[] = {{first_, 2720},    {previous_, 2721}, {next_, 2722},
                                              {last_, 2723},     {pages_, 2724},    {spinUp_, 2725},
                                              {spinDown_, 2726}, {start_, 2727},    {end_, 2728}};
    for (const auto& [widget, id] : names) widget->setAccessibleName(qs(text(id)));
}

void CKvrcPrintDlg::applyLayout() {
    const float f = layoutFactor_;
    // The same dialog units and font as the main window, so the template numbers mean the same pixels.
    const DialogUnits du;
    const QFont font = scaledDialogFont(f);
    setFont(font);
    for (const Placement& p : kPlacements) {
        QWidget* w = findChild<QWidget*>(QString::number(p.id), Qt::FindDirectChildrenOnly);
        if (w == nullptr) continue;
        w->setFont(font);
        // Each control keeps its centre scaled by the factor, and its half sizes scaled likewise.
        w->setGeometry(scaleAboutCentre(du.toPixels(QRect(p.x, p.y, p.w, p.h)), f));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{settingsGroup_, preview_, pagesLabel_, curver_, text_,
                                                      startLabel_, endLabel_, print_, exit_})
        shrinkFontToFit(w);
    fitPagesFont();
    const int spinHalf = spin_->height() / 2;
    spinUp_->setGeometry(0, 0, spin_->width(), spinHalf);
    spinDown_->setGeometry(0, spinHalf, spin_->width(), spin_->height() - spinHalf);
    const int iconSize = std::max(8, static_cast<int>(std::min(first_->width(), first_->height()) * 0.7));
    for (QPushButton* b : {first_, previous_, next_, last_}) {
        b->setIcon(navigationIcon(b->objectName().toInt(), iconSize));
        b->setIconSize(QSize(iconSize, iconSize));
    }
    const QSize size(static_cast<int>(static_cast<float>(du.x(kDialogWidthDlu)) * f),
                     static_cast<int>(static_cast<float>(du.y(kDialogHeightDlu)) * f));
    setFixedSize(size);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void CKvrcPrintDlg::initialise() {
    counter_->setText(QStringLiteral("0/0"));
    for (QPushButton* b : {first_, previous_, next_, last_, preview_}) b->setEnabled(false);
    scroll_->hide();
    pages_->setText(QStringLiteral("1"));
    curver_->setChecked(true);
    setCaptions();
    SelectRange(rec_.startTime, rec_.stopTime);
    setPickers(rec_.startTime, rec_.stopTime);
    startInvalid_ = endInvalid_ = false;
    outputMode_ = PrintMode::Curve;
    currentPage_ = pageTotal_ = curvePageTotal_ = 1;
    wheelOverscroll_ = 0;
    job_.screenPlotPixels = screenPlotPixelsFor(frame_->logicalDpiX());
    showCounter(false);
    print_->setEnabled(true);
    const AppSettings& settings = AppSettings::instance();
    job_.unitText = settings.currentUnit;
    job_.humidityUnitText = settings.humidityUnit;
    job_.fahrenheit = settings.isFahrenheit();
    applyLayout();
    job_.curveLabels = ComputeCurveLabels(job_);
    if (job_.selection.selCount > 0) {
        rangeReady_ = previewShown_ = true;
        RenderPreviewPage(1);
    }

    connect(preview_, &QPushButton::clicked, this, &CKvrcPrintDlg::onPreview);
    connect(curver_, &QRadioButton::clicked, this, &CKvrcPrintDlg::onCurver);
    connect(text_, &QRadioButton::clicked, this, &CKvrcPrintDlg::onText);
    connect(first_, &QPushButton::clicked, this, &CKvrcPrintDlg::onFirst);
    connect(previous_, &QPushButton::clicked, this, &CKvrcPrintDlg::onPrevious);
    connect(next_, &QPushButton::clicked, this, &CKvrcPrintDlg::onNext);
    connect(last_, &QPushButton::clicked, this, &CKvrcPrintDlg::onLast);
    connect(print_, &QPushButton::clicked, this, &CKvrcPrintDlg::onPrint);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(start_, &QDateTimeEdit::dateTimeChanged, this, &CKvrcPrintDlg::onStartChanged);
    connect(end_, &QDateTimeEdit::dateTimeChanged, this, &CKvrcPrintDlg::onEndChanged);
    connect(pages_, &QLineEdit::textChanged, this, &CKvrcPrintDlg::onPagesEdited);
    connect(pages_, &QLineEdit::textChanged, this, &CKvrcPrintDlg::fitPagesFont);
    connect(scroll_, &QScrollBar::valueChanged, this, &CKvrcPrintDlg::onScrollValue);
    connect(spinUp_, &QToolButton::clicked, this, [this] { onSpin(1); });
    connect(spinDown_, &QToolButton::clicked, this, [this] { onSpin(-1); });
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

bool CKvrcPrintDlg::SelectRange(std::int64_t start, std::int64_t end) {
    if (thermivo::SelectRange(rec_, start, end, job_.selection)) return true;
    prompts().message(this, qs(text(100)));
    return false;
}

std::int64_t CKvrcPrintDlg::pickerStart() const {
    return fromPicker(start_->dateTime());
}
std::int64_t CKvrcPrintDlg::pickerEnd() const {
    return fromPicker(end_->dateTime());
}

void CKvrcPrintDlg::setPickers(std::int64_t start, std::int64_t end) {
    start_->setDateTime(toPicker(start));
    end_->setDateTime(toPicker(end));
}

int CKvrcPrintDlg::maxScroll() const {
    return ComputeTextLayout(frame_->logicalDpiX(), frame_->logicalDpiY(), 1.0).pageHeight / 2;
}

void CKvrcPrintDlg::showCounter(bool longPad) {
    counter_->setText(qs(pageCounterText(currentPage_, pageTotal_, longPad)));
}

void CKvrcPrintDlg::updateNavButtons() {
    const NavButtons b = navButtonsFor(currentPage_, pageTotal_);
    first_->setEnabled(b.first);
    previous_->setEnabled(b.previous);
    next_->setEnabled(b.next);
    last_->setEnabled(b.last);
    if (currentPage_ == 1) next_->setFocus();
    if (currentPage_ == pageTotal_) previous_->setFocus();
}

void CKvrcPrintDlg::setPrintControlsEnabled(bool enabled) {
    print_->setEnabled(enabled);
    curver_->setEnabled(enabled);
    text_->setEnabled(enabled);
}

void CKvrcPrintDlg::RenderPreviewPage(int page) {
    job_.pageTotal = pageTotal_;
    // Drawn for the screen's device pixels: at a scale of 2 the page has twice the pixels each way and is
    // reduced to the frame's device pixels, not drawn small and doubled.
    const qreal ratio = std::max<qreal>(1.0, frame_->devicePixelRatioF());
    const int dpiX = qRound(frame_->logicalDpiX() * ratio), dpiY = qRound(frame_->logicalDpiY() * ratio);
    pageImage_ = renderPageImage(job_, outputMode_, page, dpiX, dpiY);
    scrollY_ = 0;
    scaledKey_ = 0;
    if (outputMode_ == PrintMode::Curve) {
        scroll_->hide();
    } else {
        // The thumb follows the band shown, so it starts at the top of every newly drawn page.
        const QSignalBlocker block(scroll_);
        scroll_->setValue(0);
        scroll_->show();
    }
    frame_->update();
}

void CKvrcPrintDlg::paintPreview(QPainter& painter) {
    if (!previewShown_ || pageImage_.isNull()) return;
    const QRect client = frame_->contentsRect();
    QRect to = client;
    QRect from = pageImage_.rect();
    // The page image has the frame's device pixels per logical pixel; scrollY_ counts logical page pixels.
    const qreal ratio = std::max<qreal>(1.0, frame_->devicePixelRatioF());
    if (outputMode_ == PrintMode::Text) {
        painter.fillRect(client, kTextBandBackground);
        const int width = 3 * (client.width() / 4);
        to = QRect(client.left() + (client.width() - width) / 2, client.top(), width, client.height());
        from = QRect(0, qRound(scrollY_ * ratio), pageImage_.width(), pageImage_.height() / 2);
    }
    const QSize devicePixels = (QSizeF(to.size()) * ratio).toSize();
    if (scaledKey_ != pageImage_.cacheKey() || scaledFrom_ != from || scaled_.size() != devicePixels) {
        scaled_ = stretchBlackOnWhite(pageImage_, from, devicePixels);
        scaled_.setDevicePixelRatio(ratio);
        scaledKey_ = pageImage_.cacheKey();
        scaledFrom_ = from;
    }
    painter.drawImage(to.topLeft(), scaled_);
}

void CKvrcPrintDlg::onPreview() {
    const std::int64_t t0 = pickerStart(), t1 = pickerEnd();
    if (!rangeReady_ || !SelectRange(t0, t1)) {
        if (t0 > t1) setPickers(job_.selection.selFirstTime, job_.selection.selLastTime);
        return;
    }
    job_.curveLabels = ComputeCurveLabels(job_);
    if (outputMode_ != PrintMode::Curve) {
        // The text pages follow the new range at once, so the preview and the printout never disagree.
        pageTotal_ = textPageCount(job_.selection.selCount);
        currentPage_ = 1;
        pages_->setText(QString::number(pageTotal_));
        showCounter(true);
        updateNavButtons();
        RenderPreviewPage(currentPage_);
        preview_->setEnabled(false);
        return;
    }
    bool ok = false;
    int n = pages_->text().toInt(&ok);
    if (!ok) n = 0;
    if (n > 99) {
        n = 99;
        pages_->setText(QStringLiteral("99"));
    } else if (n < 1) {
        n = 1;
        pages_->setText(QStringLiteral("1"));
    }
    if (n != pageTotal_) {
        currentPage_ = 1;
        pageTotal_ = n;
    }
    showCounter(true);
    print_->setEnabled(true);
    updateNavButtons();
    previewShown_ = true;
    RenderPreviewPage(currentPage_);
    preview_->setEnabled(false);
}

void CKvrcPrintDlg::onCurver() {
    if (outputMode_ != PrintMode::Curve) {
        outputMode_ = PrintMode::Curve;
        pageTotal_ = curvePageTotal_;
        currentPage_ = 1;
        pages_->setText(QString::number(pageTotal_));
        showCounter(false);
        updateNavButtons();
        scroll_->hide();
        scrollY_ = 0;
        RenderPreviewPage(1);
    }
    pages_->setEnabled(true);
    preview_->setEnabled(false);
}

void CKvrcPrintDlg::onText() {
    if (outputMode_ != PrintMode::Text) {
        outputMode_ = PrintMode::Text;
        curvePageTotal_ = pageTotal_;
        pageTotal_ = textPageCount(job_.selection.selCount);
        currentPage_ = 1;
        pages_->setText(QString::number(pageTotal_));
        showCounter(true);
        updateNavButtons();
        scroll_->setRange(0, maxScroll());
        scroll_->setValue(0);
        scroll_->show();
        scrollY_ = 0;
        wheelOverscroll_ = 0;
        RenderPreviewPage(1);
    }
    pages_->setEnabled(false);
    preview_->setEnabled(false);
}

void CKvrcPrintDlg::showPage(int page) {
    currentPage_ = std::clamp(page, 1, std::max(1, pageTotal_));
    updateNavButtons();
    showCounter(true);
    RenderPreviewPage(currentPage_);
}

void CKvrcPrintDlg::onFirst() {
    showPage(1);
}
void CKvrcPrintDlg::onPrevious() {
    showPage(currentPage_ - 1);
}
void CKvrcPrintDlg::onNext() {
    showPage(currentPage_ + 1);
}
void CKvrcPrintDlg::onLast() {
    showPage(pageTotal_);
}

void CKvrcPrintDlg::onStartChanged() {
    const std::int64_t t0 = pickerStart(), t1 = pickerEnd();
    startInvalid_ = t0 > rec_.stopTime || t1 < t0;
    if (!startInvalid_) preview_->setEnabled(true);
    QPalette p = startLabel_->palette();
    p.setColor(QPalette::WindowText, startInvalid_ ? kInvalidLabel : palette().color(QPalette::WindowText));
    startLabel_->setPalette(p);
}

void CKvrcPrintDlg::onEndChanged() {
    const std::int64_t t0 = pickerStart(), t1 = pickerEnd();
    endInvalid_ = t1 < rec_.startTime || t1 < t0;
    if (!endInvalid_) preview_->setEnabled(true);
    QPalette p = endLabel_->palette();
    p.setColor(QPalette::WindowText, endInvalid_ ? kInvalidLabel : palette().color(QPalette::WindowText));
    endLabel_->setPalette(p);
}

void CKvrcPrintDlg::onPagesEdited() {
    if (!pages_->text().isEmpty() && outputMode_ == PrintMode::Curve) preview_->setEnabled(true);
}

void CKvrcPrintDlg::fitPagesFont() {
    // A text page count of four digits still shows whole in the narrow field.
    const QSize room(pages_->width() - 8, 0);
    const QFont f = fittedFont(font(), pages_->text(), room);
    if (f != pages_->font()) pages_->setFont(f);
}

void CKvrcPrintDlg::onSpin(int delta) {
    if (!pages_->isEnabled()) return;
    const int n = std::clamp(pages_->text().toInt() + delta, 1, 99);
    pages_->setText(QString::number(n));
}

void CKvrcPrintDlg::onScrollValue(int value) {
    scrollY_ = std::clamp(value, 0, maxScroll());
    frame_->update();
}

void CKvrcPrintDlg::wheelNotches(int notches) {
    if (!previewShown_ || outputMode_ != PrintMode::Text) return;
    const int maxPos = maxScroll();
    for (int i = 0; i < std::abs(notches); ++i) {
        WheelState state{scroll_->value(), wheelOverscroll_, currentPage_};
        const WheelAction action = wheelNotch(state, notches < 0, maxPos, pageTotal_);
        wheelOverscroll_ = state.wheelOverscroll;
        switch (action) {
            case WheelAction::None:
                break;
            case WheelAction::Scroll:
                scroll_->setValue(state.scrollPos);
                onScrollValue(state.scrollPos);
                break;
            case WheelAction::PageForward:
                showPage(state.currentPage);
                break;
            case WheelAction::PageBackward:
                showPage(state.currentPage);
                scroll_->setValue(maxPos);
                onScrollValue(maxPos);
                break;
        }
    }
}

void CKvrcPrintDlg::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / kNotch;  // positive: away from the user, up the page
    wheelRemainder_ -= notches * kNotch;
    wheelNotches(notches);
    event->accept();
}

bool CKvrcPrintDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && (watched == frame_ || watched == scroll_)) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) return true;
        if (watched == pages_ && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            onSpin(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Key events reach the focused widget first, so `watched` is where the focus is.
            const bool button = watched == exit_ || watched == preview_ || watched == print_ ||
                                watched == first_ || watched == previous_ || watched == next_ ||
                                watched == last_;
            if (button) static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CKvrcPrintDlg::keyPressEvent(QKeyEvent* event) {
    // Escape never closes the dialog, and Enter only presses the focused command button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CKvrcPrintDlg::execPrintDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    // Every page is printed: no page range, selection or current page. A PDF file is offered besides the
    // queues; copies and collation are left to the printer.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    hidePageChoices(dialog);
    return execKeepingPaper(dialog, printer, PrinterMemory::rememberedPaper());
}

QStringList CKvrcPrintDlg::availablePrinters() const {
    return QPrinterInfo::availablePrinterNames();
}

bool CKvrcPrintDlg::printServiceAnswers() const {
    return printServiceRunning();
}

PrintOutcome CKvrcPrintDlg::printOnPrinter() {
    QPrinter printer(QPrinter::HighResolution);
    PrinterMemory::restore(printer);
    printer.setPageOrientation(outputMode_ == PrintMode::Curve ? QPageLayout::Landscape
                                                               : QPageLayout::Portrait);
    printer.setDocName(qs(rec_.serialText()));
    if (!execPrintDialog(printer)) return {};
    PrinterMemory::remember(printer);
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    return withProgress(toFile, [&](const PageProgress& progress) {
        return printJobOn(printer, job_, outputMode_, progress);
    });
}

PrintOutcome CKvrcPrintDlg::offerPdfInstead() {
    // With the scheduler down CUPS lists no queue either; saying "no printer installed" would send the user
    // looking for a driver instead of starting the print service.
    const bool serviceDown = !printServiceAnswers();
    const PrintOutcome noPrinter = PrintOutcome::failure(
        serviceDown ? PrintOutcome::Result::ServiceDown : PrintOutcome::Result::NoPrinter, {});
    if (!prompts().offer(this, qs(text(serviceDown ? kTextServiceDownOfferPdf : kTextNoPrinterOfferPdf)),
                         qs(text(kTextSaveAsPdf))))
        return noPrinter;
    const QString suggested = QDir::home().filePath(
        qs(rec_.serialText()) +
        (outputMode_ == PrintMode::Curve ? QStringLiteral("-curves.pdf") : QStringLiteral("-text.pdf")));
    QString filter = qs(text(kTextPdfFilter));
    QString path = prompts().saveFileName(this, suggested, filter, &filter);
    if (path.isEmpty()) return noPrinter;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    const QPageSize remembered = PrinterMemory::rememberedPaper();
    const QPageSize paper = remembered.isValid() ? remembered : QPageSize(QPageSize::A4);
    return withProgress(true, [&](const PageProgress& progress) {
        return saveJobAsPdf(job_, outputMode_, path, paper, progress);
    });
}

PrintOutcome CKvrcPrintDlg::withProgress(bool toFile,
                                         const std::function<PrintOutcome(const PageProgress&)>& run) {
    // The pages are drawn here, on the UI thread (the printer and its painter belong to it), in slices: every
    // few milliseconds the events are handled, so the window repaints and a progress dialog (shown only
    // when the printout takes a while) can stop it.
    constexpr qint64 kSliceMs = 25;
    QProgressDialog progressDialog(this);
    progressDialog.setObjectName(QStringLiteral("printProgress"));
    progressDialog.setWindowModality(Qt::WindowModal);
    progressDialog.setAutoClose(false);
    progressDialog.setAutoReset(false);
    progressDialog.setMinimumDuration(300);
    progressDialog.setCancelButtonText(qs(text(kTextStop)));
    progressDialog.setRange(0, std::max(1, job_.pageTotal));
    const QString label = qs(text(toFile ? kTextSavingProgress : kTextPrintingProgress))
                              .replace(QStringLiteral("{total}"), QString::number(job_.pageTotal));
    QElapsedTimer clock;
    clock.start();
    qint64 lastSlice = 0;
    const PageProgress progress = [&](int page) {
        if (clock.elapsed() - lastSlice < kSliceMs) return true;
        lastSlice = clock.elapsed();
        progressDialog.setLabelText(QString(label).replace(QStringLiteral("{n}"), QString::number(page)));
        progressDialog.setValue(page - 1);  // a window-modal progress dialog handles the events here
        QCoreApplication::processEvents();
        return !progressDialog.wasCanceled();
    };
    const PrintOutcome outcome = run(progress);
    progressDialog.hide();
    return outcome;
}

void CKvrcPrintDlg::report(const PrintOutcome& outcome, bool toldAlready) {
    if (outcome.result == PrintOutcome::Result::Cancelled) return;
    printStatus_ = qs(describe(outcome));
    status_->setToolTip(printStatus_);
    status_->setText(status_->fontMetrics().elidedText(printStatus_, Qt::ElideMiddle, status_->width()));
    QPalette p = status_->palette();
    const QColor normal = palette().color(QPalette::WindowText);
    p.setColor(QPalette::WindowText, outcome.failed() ? kInvalidLabel : normal);
    status_->setPalette(p);
    // A failure must not pass unnoticed; a missing printer or print service has been told by the offer.
    if (outcome.failed() && !toldAlready) prompts().message(this, printStatus_);
}

void CKvrcPrintDlg::onPrint() {
    setPrintControlsEnabled(false);
    job_.pageTotal = pageTotal_;
    const bool noQueue = availablePrinters().isEmpty();
    const PrintOutcome outcome = noQueue ? offerPdfInstead() : printOnPrinter();
    setPrintControlsEnabled(true);
    if (outcome.succeeded() && printed) printed(outcome);
    report(outcome, noQueue && (outcome.result == PrintOutcome::Result::NoPrinter ||
                                outcome.result == PrintOutcome::Result::ServiceDown));
}

namespace {

/// Selects `paper` in the paper list of a properties dialog; false when the list does not offer it.
bool selectPaper(QWidget& properties, const QPageSize& paper) {
    auto* list = properties.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
    if (list == nullptr) return false;
    for (int i = 0; i < list->count(); ++i) {
        const QVariant data = list->itemData(i);
        const QPageSize offered = data.canConvert<QPageSize>() ? data.value<QPageSize>() : QPageSize();
        if (offered.isValid() && offered.isEquivalentTo(paper)) {
            list->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

/// Watches the print dialog's properties dialogs (top-level windows Qt creates when Properties is pressed):
/// each starts on the remembered paper, and whether the user accepted one is noted.
class PaperKeeper : public QObject {
  public:
    explicit PaperKeeper(QPageSize paper) : paper_(std::move(paper)) { qApp->installEventFilter(this); }
    ~PaperKeeper() override { qApp->removeEventFilter(this); }
    bool propertiesAccepted() const { return accepted_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->inherits("QPrintPropertiesDialog")) return false;
        auto* properties = static_cast<QDialog*>(watched);
        if (seen_.contains(properties)) return false;
        seen_.append(properties);
        if (paper_.isValid()) selectPaper(*properties, paper_);
        connect(properties, &QDialog::accepted, this, [this] { accepted_ = true; });
        return false;
    }

  private:
    QPageSize paper_;
    QList<QPointer<QDialog>> seen_;
    bool accepted_ = false;
};

}  // namespace

bool execKeepingPaper(QPrintDialog& dialog, QPrinter& printer, const QPageSize& paper) {
    // Qt 6.4 sets the chosen queue's default paper when it builds the properties (on Properties, or when
    // the dialog is accepted without them), whatever the printer held before. The remembered paper is
    // therefore put into the properties when they open, and put back after the dialog where the user
    // never accepted properties of their own.
    const PaperKeeper keeper(paper);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (paper.isValid() && !keeper.propertiesAccepted() && printer.outputFormat() == QPrinter::NativeFormat) {
        for (const QPageSize& offered : QPrinterInfo(printer).supportedPageSizes()) {
            if (offered.isEquivalentTo(paper)) {
                printer.setPageSize(offered);
                break;
            }
        }
    }
    return true;
}

void hidePageChoices(QPrintDialog& dialog) {
    // Qt 6.4's Unix dialog keeps its page range and its "Pages" field (a CUPS page list) without the
    // page-range option, and rejects every entry for a document that has no page numbers. "All" stays; the
    // odd/even page set stays too, CUPS applies it.
    for (const char* name : {"printRange", "from", "to", "pagesRadioButton", "pagesLineEdit",
                             "printSelection", "printCurrentPage"}) {
        for (QWidget* w : dialog.findChildren<QWidget*>(QLatin1String(name))) w->hide();
    }
    // The "to" between the two page numbers is a label of its own, without a buddy or a name to find it by:
    // it is the label in the layout row of the hidden range fields.
    for (QWidget* to : dialog.findChildren<QWidget*>(QStringLiteral("to"))) {
        QWidget* group = to->parentWidget();
        if (group == nullptr || group->layout() == nullptr) continue;
        const std::function<QLayout*(QLayout*)> holder = [&](QLayout* layout) -> QLayout* {
            for (int i = 0; i < layout->count(); ++i) {
                QLayout* inner = layout->itemAt(i)->layout();
                if (inner == nullptr) continue;
                if (QLayout* found = holder(inner)) return found;
            }
            return layout->indexOf(to) >= 0 ? layout : nullptr;
        };
        QLayout* row = holder(group->layout());
        if (row == nullptr) continue;
        int toRow = -1, rowSpan = 0, column = 0, columnSpan = 0;
        auto* grid = qobject_cast<QGridLayout*>(row);
        if (grid != nullptr) grid->getItemPosition(row->indexOf(to), &toRow, &column, &rowSpan, &columnSpan);
        for (int i = 0; i < row->count(); ++i) {
            auto* label = qobject_cast<QLabel*>(row->itemAt(i)->widget());
            if (label == nullptr || label->buddy() != nullptr) continue;
            int labelRow = -1;
            if (grid != nullptr) grid->getItemPosition(i, &labelRow, &column, &rowSpan, &columnSpan);
            if (grid == nullptr || labelRow == toRow) label->hide();
        }
    }
}

}  // namespace thermivo
