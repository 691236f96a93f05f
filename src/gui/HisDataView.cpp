#include "HisDataView.h"
#include "QtText.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableView>
#include <algorithm>

#include "DialogUnits.h"
#include "QtCanvas.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "chart/ChartLegend.h"
#include "chart/SampleListModel.h"
#include "chart/ZoomIcons.h"
#include "data/ListRows.h"
#include "data/Recording.h"

namespace thermivo {

namespace {

// Pixel height of that font; the controls' font is this times the layout factor.
constexpr int kControlFontPixels = 11;

struct TemplateControl {
    CHisDataView::ControlId id;
    int x, y, width, height;  // dialog units
};

constexpr TemplateControl kTemplate[] = {
    {CHisDataView::IDC_TEMP_SWITCH, 41, 10, 9, 10},     {CHisDataView::IDC_ZOOM_IN, 106, 203, 20, 17},
    {CHisDataView::IDC_ZOOM_OUT, 188, 203, 20, 17},     {CHisDataView::IDC_AUTOSCALE, 252, 206, 121, 10},
    {CHisDataView::IDC_UNIT_TEXT, 179, 10, 24, 8},      {CHisDataView::IDC_READOUT, 53, 8, 122, 12},
    {CHisDataView::IDC_TRACKBAR, 34, 185, 332, 11},     {CHisDataView::IDC_SAMPLE_LIST, 373, 0, 141, 234},
    {CHisDataView::IDC_HUMI_SWITCH, 252, 196, 121, 10},
};

// The legend under the zoom buttons, beside the list down to its bottom (dialog units): room for a second
// row, the humidity limits.
constexpr int kLegendRect[4] = {34, 221, 332, 13};

// Column widths of the side list at layout factor 1.
constexpr int kColumnWidths[kSampleListColumns] = {35, 95, 70};
// The humidity column's list may take a smaller font to show all four columns, but not below this.
constexpr int kMinListFontPixels = 9;

/// The style's check box square has a fixed size; in a small layout it is taller than the scaled check box
/// and gets cut. This one shrinks the square with the control, never below a size that can still be hit.
class ScaledIndicatorStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        if ((metric != PM_IndicatorWidth && metric != PM_IndicatorHeight) || widget == nullptr) return base;
        return std::clamp(widget->height() - 2, std::min(kMinIndicator, base), base);
    }

  private:
    static constexpr int kMinIndicator = 8;
};

}  // namespace

QRect CHisDataView::dialogUnitsToPixels(int x, int y, int width, int height) {
    return DialogUnits().toPixels(QRect(x, y, width, height));
}

QSize CHisDataView::templateSize() {
    QRect extent;
    for (const auto& c : kTemplate) extent |= dialogUnitsToPixels(c.x, c.y, c.width, c.height);
    const ChartLayout base;
    extent |=
        QRect(0, static_cast<int>(base.bitmapOffset), base.bitmapPixelWidth(), base.bitmapPixelHeight());
    return QSize(extent.right() + 1, extent.bottom() + 1);
}

CHisDataView::CHisDataView(QWidget* parent, Recording& recording)
    : QWidget(parent), recording_(recording), geometry_(layout_) {
    state_.clickX = static_cast<int>(layout_.plotLeft);
    image_ = QImage(layout_.bitmapPixelWidth(), layout_.bitmapPixelHeight(), QImage::Format_RGB32);
    image_.fill(Qt::black);
    // The template's font is a narrow sans serif of 8 points; Arial (or its metric twin) keeps the columns'
    // texts within their widths, and CJK text falls back to the system's CJK font.
    controlFont_ = QFont(QStringLiteral("Arial"));
    controlFont_.setStyleHint(QFont::SansSerif);
    controlFont_.setPixelSize(kControlFontPixels);

    tempSwitch_ = new QCheckBox(this);
    tempSwitch_->setEnabled(false);
    tempSwitch_->hide();

    readout_ = new QLineEdit(this);
    readout_->setReadOnly(true);
    readout_->setEnabled(false);
    readout_->setFocusPolicy(Qt::NoFocus);
    // Disabled so it takes no input, but it is the chart's readout: keep its text dark enough to read.
    QPalette readoutPalette = readout_->palette();
    readoutPalette.setColor(QPalette::Disabled, QPalette::Text, QColor(40, 40, 40));
    readout_->setPalette(readoutPalette);

    unitText_ = new QLabel(qs(AppSettings::instance().currentUnit), this);
    QPalette unitPalette = unitText_->palette();
    const QColor unitColour = QtCanvas::toQColor(chart_style::kUnitText);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        unitPalette.setColor(group, QPalette::WindowText, unitColour);
    unitText_->setPalette(unitPalette);
    unitText_->setAutoFillBackground(false);

    trackbar_ = new QSlider(Qt::Horizontal, this);
    trackbar_->setRange(0, 0);
    connect(trackbar_, &QSlider::valueChanged, this, &CHisDataView::OnHScroll);

    zoomIn_ = new QPushButton(this);
    zoomOut_ = new QPushButton(this);
    for (QPushButton* b : {zoomIn_, zoomOut_}) b->setAutoDefault(true);  // Enter presses the focused one
    connect(zoomIn_, &QPushButton::clicked, this, &CHisDataView::OnZoomIn);
    connect(zoomOut_, &QPushButton::clicked, this, &CHisDataView::OnZoomOut);

    autoScale_ = new QCheckBox(qs(text(41)), this);
    connect(autoScale_, &QCheckBox::clicked, this, &CHisDataView::OnAutoScale);

    // Just above "Scaling data coordinate" (the legend takes the line below); only a recording with
    // humidity shows it.
    humiSwitch_ = new QCheckBox(qs(text(2315)), this);
    humiSwitch_->setChecked(true);
    humiSwitch_->hide();
    QPalette humiPalette = humiSwitch_->palette();
    const QColor humiColour = QtCanvas::toQColor(chart_style::kHumiText).darker(140);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        humiPalette.setColor(group, QPalette::WindowText, humiColour);
    humiSwitch_->setPalette(humiPalette);
    connect(humiSwitch_, &QCheckBox::clicked, this, &CHisDataView::OnHumiditySwitch);

    model_ = new SampleListModel(recording_, this);
    list_ = new QTableView(this);
    list_->setModel(model_);
    list_->setItemDelegate(new CompactCellDelegate(list_));
    auto* headerStyle = new CompactHeaderStyle();
    headerStyle->setParent(list_);
    list_->horizontalHeader()->setStyle(headerStyle);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    // One Tab stop: the arrows move through the samples, Tab goes on to the next control.
    list_->setTabKeyNavigation(false);
    list_->setCornerButtonEnabled(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setSectionsClickable(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    // The three columns fill the list; the last one gives up the room the vertical scroll bar takes.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->horizontalHeader()->setStretchLastSection(true);

    auto* indicatorStyle = new ScaledIndicatorStyle();
    indicatorStyle->setParent(this);
    autoScale_->setStyle(indicatorStyle);
    humiSwitch_->setStyle(indicatorStyle);

    legend_ = new ChartLegend(this);
    legend_->setObjectName(QStringLiteral("chartLegend"));

    tempSwitch_->setObjectName(QString::number(IDC_TEMP_SWITCH));
    readout_->setObjectName(QString::number(IDC_READOUT));
    unitText_->setObjectName(QString::number(IDC_UNIT_TEXT));
    trackbar_->setObjectName(QString::number(IDC_TRACKBAR));
    zoomIn_->setObjectName(QString::number(IDC_ZOOM_IN));
    zoomOut_->setObjectName(QString::number(IDC_ZOOM_OUT));
    autoScale_->setObjectName(QString::number(IDC_AUTOSCALE));
    list_->setObjectName(QString::number(IDC_SAMPLE_LIST));
    humiSwitch_->setObjectName(QString::number(IDC_HUMI_SWITCH));

    // Lay the controls out at factor 1; the origin does not matter when nothing is scaled.
    RescaleLayout(1.0f, 0, 0);
    resize(templateSize());
}

CHisDataView::~CHisDataView() = default;

QWidget* CHisDataView::control(ControlId id) const {
    switch (id) {
        case IDC_TEMP_SWITCH:
            return tempSwitch_;
        case IDC_READOUT:
            return readout_;
        case IDC_TRACKBAR:
            return trackbar_;
        case IDC_ZOOM_IN:
            return zoomIn_;
        case IDC_ZOOM_OUT:
            return zoomOut_;
        case IDC_AUTOSCALE:
            return autoScale_;
        case IDC_UNIT_TEXT:
            return unitText_;
        case IDC_SAMPLE_LIST:
            return list_;
        case IDC_HUMI_SWITCH:
            return humiSwitch_;
    }
    return nullptr;
}

QPoint CHisDataView::chartOrigin() const {
    return QPoint(0, static_cast<int>(layout_.bitmapOffset));
}

QSize CHisDataView::sizeHint() const {
    const QSize base = templateSize();
    return QSize(static_cast<int>(static_cast<float>(base.width()) * layout_.scale),
                 static_cast<int>(static_cast<float>(base.height()) * layout_.scale));
}

void CHisDataView::RefreshChart() {
    const RecordingLock lock = lockRecording(recordingMutex_);
    state_.showTemperature = true;
    unitText_->setText(qs(AppSettings::instance().currentUnit));
    tempSwitch_->setEnabled(true);
    tempSwitch_->setChecked(true);
    state_.zoom = 1;
    state_.startIndex = 0;
    geometry_.cursorSample = 0;
    // A new recording starts with the cursor on its first sample, at whatever size the window has.
    state_.clickX = static_cast<int>(layout_.plotLeft);
    state_.pinnedSample = -1;
    humiSwitch_->setVisible(recording_.kind == KindTempHumi);
    {
        // The thumb goes back to the start with the view, so it never points elsewhere than the curve.
        const QSignalBlocker block(trackbar_);
        trackbar_->setRange(0, std::max(recording_.usableSamples() - 1, 0));
        trackbar_->setValue(0);
    }
    legend_->setLegend(alarmLegend(recording_, AppSettings::instance()));
    renderChart();
    update();
    ResetSampleList();
}

void CHisDataView::ResetSampleList() {
    const RecordingLock lock = lockRecording(recordingMutex_);
    listColumns_ = sampleListColumns(recording_);
    model_->reset(recording_.usableSamples(), listColumns_);
    applyColumnWidths();
}

void CHisDataView::applyColumnWidths() {
    const bool humidity = listColumns_ == kSampleListColumnsHumidity;
    list_->setFont(listFont_);
    list_->horizontalHeader()->setFont(listFont_);
    if (!humidity) {
        for (int c = 0; c < listColumns_ && c < kSampleListColumns; ++c)
            list_->setColumnWidth(c, static_cast<int>(static_cast<float>(kColumnWidths[c]) * layout_.scale));
        return;
    }
    // Four columns share the list's width: each as wide as its widest possible text or its header, in the
    // list's font, or a smaller one where the four do not fit; whatever is left goes to the last column.
    const AppSettings& settings = AppSettings::instance();
    const QString widest[kSampleListColumnsHumidity] = {
        QString::number(recording_.usableSamples()), QStringLiteral("8888-88-88 88:88"),
        qs("-88.88" + settings.currentUnit + "*"), qs("100.00" + settings.humidityUnit + "*")};
    const int room =
        list_->width() - 2 * list_->frameWidth() - list_->verticalScrollBar()->sizeHint().width();
    QFont font = listFont_;
    int widths[kSampleListColumnsHumidity] = {};
    for (;;) {
        const QFontMetrics fm(font);
        int sum = 0;
        for (int c = 0; c < kSampleListColumnsHumidity; ++c) {
            const QString title = model_->headerData(c, Qt::Horizontal).toString();
            const int header = fm.horizontalAdvance(title) + 2 * 2;  // the header's margin
            widths[c] = std::max(header, fm.horizontalAdvance(widest[c]) + 2) + 2;
            sum += widths[c];
        }
        if (sum <= room || font.pixelSize() <= kMinListFontPixels) {
            widths[kSampleListColumnsHumidity - 1] += std::max(room - sum, 0);
            break;
        }
        font.setPixelSize(font.pixelSize() - 1);
    }
    list_->setFont(font);
    list_->horizontalHeader()->setFont(font);
    for (int c = 0; c < kSampleListColumnsHumidity; ++c) list_->setColumnWidth(c, widths[c]);
}

void CHisDataView::applyZoomIcons() {
    const qreal dpr = devicePixelRatioF();
    for (QPushButton* b : {zoomIn_, zoomOut_}) {
        const int side = std::max(8, std::min(b->width(), b->height()) - 6);
        b->setIcon(QIcon(magnifierPixmap(side, b == zoomIn_, dpr)));
        b->setIconSize(QSize(side, side));
    }
}

void CHisDataView::RescaleLayout(float factor, int originX, int originY) {
    if (!(factor > 0.0f)) return;
    layout_ = ChartLayout::scaled(factor);
    const int offsetX = static_cast<int>(factor * static_cast<float>(originX));
    const int offsetY = static_cast<int>(factor * static_cast<float>(originY));

    const int pixels = std::max(1, static_cast<int>(static_cast<float>(kControlFontPixels) * factor));
    controlFont_.setPixelSize(readablePixels(pixels));
    QFont digitFont = controlFont_;
    digitFont.setPixelSize(pixels);
    listFont_ = digitFont;
    for (const auto& c : kTemplate) {
        QWidget* w = control(c.id);
        // The readout and the list's cells are digits: they keep the plain scaled size, which their
        // widths were made for; the floor for Chinese characters is for the controls that show them.
        const bool digits = c.id == IDC_READOUT || c.id == IDC_SAMPLE_LIST;
        w->setFont(digits ? digitFont : controlFont_);
        const QRect r = dialogUnitsToPixels(c.x, c.y, c.width, c.height);
        const ControlPlacement p = scaleAboutCentre(r.x() + originX, r.y() + originY, r.width(), r.height(),
                                                    factor, offsetX, offsetY);
        w->setGeometry(p.x, p.y, p.width, p.height);
    }
    {
        legend_->setFont(controlFont_);
        const QRect r = dialogUnitsToPixels(kLegendRect[0], kLegendRect[1], kLegendRect[2], kLegendRect[3]);
        const ControlPlacement p = scaleAboutCentre(r.x() + originX, r.y() + originY, r.width(), r.height(),
                                                    factor, offsetX, offsetY);
        legendRect_ = QRect(p.x, p.y, p.width, p.height);
        fitLegend();
    }
    list_->verticalHeader()->setDefaultSectionSize(QFontMetrics(listFont_).height() + 4);
    applyColumnWidths();
    applyZoomIcons();

    // The cursor keeps its place in the plot when the layout changes size.
    const float before = geometry_.layout().plotLeft;
    const float ratio = geometry_.layout().scale > 0.0f ? factor / geometry_.layout().scale : 1.0f;
    state_.clickX = static_cast<int>(layout_.plotLeft + (static_cast<float>(state_.clickX) - before) * ratio);
    geometry_.setLayout(layout_);
    state_.clickX = std::max(state_.clickX, static_cast<int>(layout_.plotLeft));
    image_ = QImage(layout_.bitmapPixelWidth(), layout_.bitmapPixelHeight(), QImage::Format_RGB32);
    renderChart();
    update();
}

void CHisDataView::fitLegend() {
    // A taller tab row (a larger font) leaves the page less height than the template: the legend keeps to
    // what is left rather than going under the tabs.
    QRect r = legendRect_;
    if (height() > r.top()) r.setBottom(std::min(r.bottom(), height() - 1));
    legend_->setGeometry(r);
}

void CHisDataView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitLegend();
}

void CHisDataView::renderChart() {
    if (image_.isNull()) return;
    QPainter painter(&image_);
    QtCanvas canvas(painter, 96, 96);
    const RecordingLock lock = lockRecording(recordingMutex_);
    drawChart(canvas, geometry_, recording_, state_, AppSettings::instance());
}

void CHisDataView::updateReadout() {
    const RecordingLock lock = lockRecording(recordingMutex_);
    std::string s =
        readoutText(recording_, geometry_.cursorSample, state_.showTemperature, AppSettings::instance());
    if (!s.empty() && geometry_.humidityDrawn)
        s += humidityReadoutText(recording_, geometry_.cursorSample, AppSettings::instance());
    const QString t = qs(s);
    // Setting the same text again would schedule another paint of the view underneath.
    if (readout_->text() != t) readout_->setText(t);
}

void CHisDataView::redraw() {
    renderChart();
    updateReadout();
    update(QRect(chartOrigin(), image_.size()));
}

void CHisDataView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The recording may have grown or changed since the last interaction, so every paint draws it anew.
    renderChart();
    QPainter painter(this);
    painter.drawImage(chartOrigin(), image_);
    painter.end();
    updateReadout();
}

void CHisDataView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const float s = layout_.scale;
    const auto x = static_cast<float>(at.x());
    const auto y = static_cast<float>(at.y());
    if (x >= 60.0f * s && x <= 550.0f * s && y >= 50.0f * s && y <= 300.0f * s) {
        state_.clickX = at.x();
        state_.pinnedSample = -1;
        if (state_.showTemperature) redraw();
    }
    QWidget::mousePressEvent(event);
}

void CHisDataView::keyPressEvent(QKeyEvent* event) {
    // The view is a page of the main window: Enter and Escape must not reach the window and close it.
    // A focused zoom button takes Enter itself before it gets here.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Enter:
        case Qt::Key_Return:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CHisDataView::OnZoomIn() {
    if (!state_.showTemperature) return;
    state_.zoom = zoomIn(state_.zoom, geometry_.drawnSamples);
    redraw();
}

void CHisDataView::OnZoomOut() {
    if (!state_.showTemperature) return;
    state_.zoom = zoomOut(state_.zoom, geometry_.drawnSamples);
    redraw();
}

void CHisDataView::OnAutoScale() {
    state_.autoScale = autoScale_->isChecked();
    redraw();
}

void CHisDataView::OnHumiditySwitch() {
    state_.showHumidity = humiSwitch_->isChecked();
    redraw();
}

void CHisDataView::JumpToSample(int sample) {
    const int n = recording_.usableSamples();
    if (n < 1 || sample < 0 || sample >= n) return;
    const int visible = std::max(n / std::max(state_.zoom, 1), 1);
    state_.startIndex = std::clamp(sample - visible / 4, 0, n - 1);
    {
        const QSignalBlocker block(trackbar_);
        trackbar_->setValue(state_.startIndex);
    }
    // The cursor holds the sample itself: a point stands for a whole bucket, and going through its pixel
    // would land on the bucket's first extreme, samples before the one asked for.
    state_.pinnedSample = sample;
    geometry_.compute(recording_, state_);
    state_.clickX = static_cast<int>(layout_.plotLeft) + geometry_.cursorPoint * geometry_.thinning.pixelStep;
    redraw();
    const QModelIndex row = model_->index(sample, 0);
    list_->setCurrentIndex(row);
    list_->scrollTo(row, QAbstractItemView::PositionAtCenter);
}

void CHisDataView::OnHScroll(int position) {
    if (!state_.showTemperature) return;
    state_.startIndex = std::max(position, 0);
    redraw();
}

}  // namespace thermivo

namespace thermivo {

void CHisDataView::SetRecordingMutex(RecordingMutex* mutex) {
    recordingMutex_ = mutex;
    if (model_ != nullptr) model_->setRecordingMutex(mutex);
}

}  // namespace thermivo
