#include "DeepColdThermivoDlg.h"
#include "QtText.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "Artwork.h"
#include "ControlIds.h"
#include "DialogUnits.h"
#include "FittedText.h"
#include "FocusRing.h"
#include "HisDataView.h"
#include "HistoryView.h"
#include "Prompts.h"
#include "ReportSave.h"
#include "StatisticsView.h"
#include "SummFormView.h"
#include "WindowMessage.h"
#include "app/AppSettings.h"
#include "app/CommandLine.h"
#include "app/SafeSave.h"
#include "app/UiText.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "export/SaveTargets.h"
#include "export/XlsxExport.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

namespace thermivo {

namespace {

const QColor kDialogBackground(200, 200, 0);
const QString kWindowTitle = QStringLiteral("Kelvora Deep Cold Thermivo");
const QString kAboutCaption = QStringLiteral("&About Kelvora Deep Cold Thermivo...");
constexpr int kTemplateWidth = 606;
constexpr int kTemplateHeight = 380;
constexpr int kBannerBandHeight = 51;  // dialog units: the strip above the summary band

bool chinese() {
    return AppSettings::instance().languageId == kLanguageChinesePrc;
}

void setColors(QWidget* w, const QColor& text, const QColor& background) {
    QPalette pal = w->palette();
    if (text.isValid()) pal.setColor(QPalette::WindowText, text);
    if (background.isValid()) {
        pal.setColor(QPalette::Window, background);
        w->setAutoFillBackground(true);
    }
    w->setPalette(pal);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kelvora Deep Cold Thermivo"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(renderAppIcon(64)));
    auto* textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("aboutText"));
    textLabel->setText(QStringLiteral("<b>Kelvora Deep Cold Thermivo</b><br>Version %1<br><br>"
                                      "Reads, shows, saves and prints the recordings of the<br>"
                                      "Deep Cold temperature and humidity data logger.")
                           .arg(QStringLiteral(THERMIVO_VERSION)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(textLabel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

// ---------------------------------------------------------------------------------------------------------

CDeepColdThermivoDlg::CDeepColdThermivoDlg(Recording& rec, QWidget* parent) : QDialog(parent), rec_(rec) {
    setWindowTitle(kWindowTitle);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(dialogFont());
    createControls();
}

CDeepColdThermivoDlg::~CDeepColdThermivoDlg() = default;

void CDeepColdThermivoDlg::SetLinkOptions(const QStringList& portPaths, bool simulate) {
    portPaths_ = portPaths;
    simulate_ = simulate;
}

QWidget* CDeepColdThermivoDlg::Control(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QTabWidget* CDeepColdThermivoDlg::Tab() const {
    return qobject_cast<QTabWidget*>(Control(IDC_TAB));
}

void CDeepColdThermivoDlg::createControls() {
    // The controls of the window template, in dialog units. Frames come first so that the controls they
    // surround stay in front of them.
    auto add = [this](QWidget* w, int id, const QRect& du) {
        w->setObjectName(QString::number(id));
        templateRects_[id] = du;
    };

    auto* startGroup = new QGroupBox(this);
    add(startGroup, IDC_MINUTES_FRAME, QRect(297, 0, 104, 51));
    auto* unitGroup = new QGroupBox(this);
    add(unitGroup, IDC_UNIT_GROUP, QRect(560, 75, 41, 46));

    auto* banner = new QWidget(this);
    add(banner, IDC_BANNER, QRect(0, 0, 8, 8));
    banner->hide();
    // The indicator sits in the free space of the right column, large enough to be read.
    auto* indicator = new QWidget(this);
    add(indicator, IDC_INDICATOR, QRect(556, 284, 40, 44));
    indicator->hide();

    auto* connectButton = new FittedButton(this);
    add(connectButton, IDC_CONNECT, QRect(35, 5, 96, 43));
    auto* linkBar = new QProgressBar(this);
    add(linkBar, IDC_LINK_BAR, QRect(9, 5, 27, 43));
    auto* calibrate = new FittedButton(QStringLiteral("Calibration Time"), this);
    add(calibrate, IDC_CALIBRATION, QRect(175, 9, 72, 19));
    auto* clock = new QLabel(this);
    add(clock, IDC_CLOCK_TEXT, QRect(175, 37, 72, 11));
    clock->setWordWrap(false);
    setColors(clock, QColor(255, 205, 15), QColor(82, 105, 118));

    auto* startRecord = new FittedButton(this);
    add(startRecord, IDC_START_RECORD, QRect(315, 9, 72, 19));
    auto* minutes = new QLineEdit(this);
    add(minutes, IDC_MINUTES, QRect(315, 36, 32, 12));
    minutes->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), minutes));
    auto* minutesLabel = new QLabel(QStringLiteral("Minutes   "), this);
    add(minutesLabel, IDC_MINUTES_LABEL, QRect(351, 37, 40, 10));
    setColors(minutesLabel, QColor(), kDialogBackground);

    auto* status = new StatusLine(this);
    add(status, IDC_STATUS, QRect(413, 36, 119, 12));
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setColors(status, QColor(0, 0, 0), QColor(240, 240, 240));

    auto* batteryBar = new QProgressBar(this);
    add(batteryBar, IDC_BATTERY_BAR, QRect(569, 5, 27, 43));
    auto* powerLabel = new QLabel(QStringLiteral("Power          "), this);
    add(powerLabel, IDC_POWER_LABEL, QRect(569, 53, 27, 10));
    setColors(powerLabel, QColor(), kDialogBackground);

    auto* dataBar = new QProgressBar(this);
    add(dataBar, IDC_DATA_BAR, QRect(9, 52, 9, 69));
    auto* summaryFrame = new QFrame(this);
    add(summaryFrame, IDC_SUMMARY_FRAME, QRect(17, 52, 516, 69));
    summaryFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    setColors(summaryFrame, QColor(0, 0, 0), QColor());
    auto* downloadBar = new QProgressBar(this);
    add(downloadBar, IDC_DOWNLOAD_BAR, QRect(9, 126, 9, 252));
    auto* tab = new QTabWidget(this);
    add(tab, IDC_TAB, QRect(17, 126, 516, 252));
    tab->setTabPosition(QTabWidget::South);
    tab->setAutoFillBackground(true);
    QPalette tabPalette = tab->palette();
    tabPalette.setColor(QPalette::Window, QColor(240, 240, 240));
    tab->setPalette(tabPalette);

    for (QProgressBar* bar : {linkBar, batteryBar, dataBar, downloadBar}) {
        bar->setOrientation(Qt::Vertical);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
    }

    // With nothing attached the link and battery bars stay at 0; in the window's own colours they read as
    // empty gauges rather than as white boxes that failed to draw.
    for (QProgressBar* bar : {linkBar, batteryBar}) {
        QPalette pal = bar->palette();
        const QColor window = QApplication::palette().color(QPalette::Window);
        pal.setColor(QPalette::Base, window);
        pal.setColor(QPalette::Window, window);
        bar->setPalette(pal);
    }

    auto* celsius = new QRadioButton(QStringLiteral(" C"), this);
    add(celsius, IDC_CELSIUS, QRect(571, 84, 23, 10));
    auto* fahrenheit = new QRadioButton(QStringLiteral(" F"), this);
    add(fahrenheit, IDC_FAHRENHEIT, QRect(571, 104, 23, 10));
    auto* units = new QButtonGroup(this);
    units->addButton(celsius);
    units->addButton(fahrenheit);

    auto* download = new FittedButton(QStringLiteral("Download"), this);
    add(download, IDC_DOWNLOAD, QRect(551, 151, 50, 19));
    auto* save = new FittedButton(QStringLiteral("Save Data"), this);
    add(save, IDC_SAVE, QRect(551, 186, 50, 19));
    auto* open = new FittedButton(QStringLiteral("Open File"), this);
    add(open, IDC_OPEN, QRect(551, 221, 50, 19));
    auto* print = new FittedButton(QStringLiteral("Print"), this);
    add(print, IDC_PRINT, QRect(551, 256, 50, 19));
    auto* exitButton = new FittedButton(QStringLiteral("Exit"), this);
    add(exitButton, IDC_EXIT, QRect(557, 337, 38, 29));

    for (QPushButton* b : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(celsius, &QRadioButton::clicked, this, &CDeepColdThermivoDlg::OnCelsius);
    connect(fahrenheit, &QRadioButton::clicked, this, &CDeepColdThermivoDlg::OnFahrenheit);
    connect(save, &QPushButton::clicked, this, &CDeepColdThermivoDlg::OnSaveData);
    connect(open, &QPushButton::clicked, this, &CDeepColdThermivoDlg::OnOpenFile);
    connect(print, &QPushButton::clicked, this, &CDeepColdThermivoDlg::OnPrint);
    connect(exitButton, &QPushButton::clicked, this, &CDeepColdThermivoDlg::reject);
    connect(tab, &QTabWidget::currentChanged, this, &CDeepColdThermivoDlg::OnTabSelChange);

    // Where the platform gives no system menu to extend, the window's context menu carries the About item.
    aboutAction_ = new QAction(kAboutCaption, this);
    aboutAction_->setObjectName(QString::number(IDM_ABOUTBOX));
    aboutAction_->setShortcut(QKeySequence::HelpContents);
    connect(aboutAction_, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    addAction(aboutAction_);
}

bool CDeepColdThermivoDlg::OnInitDialog() {
    if (initialised_) return true;
    initialised_ = true;

    // Background, icon.
    setWindowIcon(appIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kDialogBackground);
    setPalette(pal);

    // The one tab with the chart view. The recording starts empty.
    QTabWidget* tab = Tab();
    rec_.reset();
    chartView_ = new CHisDataView(tab, rec_);
    chartView_->setObjectName(QStringLiteral("chartView"));
    chartView_->SetRecordingMutex(recordingMutex_);
    tab->addTab(chartView_, qs(text(147)));
    statsView_ = new CStatisticsView(tab, rec_);
    statsView_->setObjectName(QStringLiteral("statisticsView"));
    tab->addTab(statsView_, qs(text(2300)));
    historyView_ = new CHistoryView(tab, rec_);
    historyView_->setObjectName(QStringLiteral("historyView"));
    historyView_->SetHistory(history_);
    tab->addTab(historyView_, qs(text(2900)));
    connect(statsView_, &CStatisticsView::excursionActivated, this, [this](int sample) {
        Tab()->setCurrentWidget(chartView_);
        chartView_->JumpToSample(sample);
    });

    // Unit captions; the unit in force is the pressed one.
    const AppSettings& settings = AppSettings::instance();
    auto* celsius = static_cast<QRadioButton*>(Control(IDC_CELSIUS));
    auto* fahrenheit = static_cast<QRadioButton*>(Control(IDC_FAHRENHEIT));
    fahrenheit->setText(qs(settings.unitFahrenheit));
    celsius->setText(qs(settings.unitCelsius));
    celsius->setChecked(settings.currentUnit == settings.unitCelsius);
    fahrenheit->setChecked(settings.isFahrenheit());

    Control(IDC_CALIBRATION)->setEnabled(false);

    static_cast<QProgressBar*>(Control(IDC_DOWNLOAD_BAR))->setRange(0, 200);
    for (int id : {IDC_DATA_BAR, IDC_LINK_BAR, IDC_BATTERY_BAR})
        static_cast<QProgressBar*>(Control(id))->setRange(0, 100);
    applyCaptions();
    banner_ = renderBanner();
    static_cast<QProgressBar*>(Control(IDC_LINK_BAR))->setValue(0);
    static_cast<QProgressBar*>(Control(IDC_BATTERY_BAR))->setValue(0);

    static_cast<QLineEdit*>(Control(IDC_MINUTES))->setMaxLength(2);
    for (int id : {IDC_START_RECORD, IDC_MINUTES, IDC_MINUTES_FRAME, IDC_MINUTES_LABEL}) Control(id)->hide();

    summView_ = new CSummFormView(Control(IDC_SUMMARY_FRAME), rec_);
    summView_->setObjectName(QStringLiteral("summaryView"));
    summView_->SetMessageSink(this);
    summView_->ShowHumidityRows();
    summView_->SetSummaryLabels();
    summView_->show();

    layoutScaling();
    chartView_->ResetSampleList();
    UpdatePrintButton();
    applyAccessibleNames();
    applyTabOrder();
    new FocusRing(this);

    if (startInstrumentSearch) startInstrumentSearch(*this);
    openCommandLineFile();
    return true;
}

int CDeepColdThermivoDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CDeepColdThermivoDlg::applyCaptions() {
    const bool zh = chinese();
    auto set = [this](int id, const QString& caption) {
        if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) b->setText(caption);
        if (auto* l = qobject_cast<QLabel*>(Control(id))) l->setText(caption);
    };
    set(IDC_CALIBRATION, zh ? QStringLiteral("校准时间") : QStringLiteral("Calibration Time"));
    set(IDC_START_RECORD, zh ? QStringLiteral("启动记录") : QStringLiteral("Start Record"));
    set(IDC_MINUTES_LABEL, zh ? QStringLiteral("分钟       ") : QStringLiteral("Minutes     "));
    set(IDC_POWER_LABEL, zh ? QStringLiteral("电量      ") : QStringLiteral("Power        "));
    set(IDC_DOWNLOAD, zh ? QStringLiteral("读取数据") : QStringLiteral("D\no\nw\nn\nl\no\na\nd"));
    set(IDC_SAVE, zh ? QStringLiteral("保存数据") : QStringLiteral("Save"));
    set(IDC_OPEN, zh ? QStringLiteral("打开文件") : QStringLiteral("Open"));
    set(IDC_PRINT, zh ? QStringLiteral("打印数据") : QStringLiteral("Print"));
    set(IDC_EXIT, zh ? QStringLiteral("退出") : QStringLiteral("Exit"));
    static_cast<FittedButton*>(Control(IDC_CONNECT))->setPlaceholder(qs(text(2200)));
}

void CDeepColdThermivoDlg::applyAccessibleNames() {
    // What a screen reader says for controls whose caption is a picture, a changing state, a stack of single
    // letters or nothing at all.
    const auto name = [](QWidget* w, int id, int description = 0) {
        w->setAccessibleName(qs(text(id)));
        if (description != 0) w->setAccessibleDescription(qs(text(description)));
    };
    auto* connectButton = static_cast<FittedButton*>(Control(IDC_CONNECT));
    name(connectButton, 2700);
    connectButton->setAccessibleDescription(
        connectButton->shownText().replace(QLatin1Char('\n'), QLatin1Char(' ')));
    name(Control(IDC_LINK_BAR), 2701);
    name(Control(IDC_BATTERY_BAR), 2702);
    name(Control(IDC_DATA_BAR), 2703);
    name(Control(IDC_DOWNLOAD_BAR), 2704);
    name(Control(IDC_DOWNLOAD), 2705);
    name(Control(IDC_MINUTES), 2706);
    name(Control(IDC_STATUS), 2713);
    name(Control(IDC_CLOCK_TEXT), 2714);
    name(chartView_->control(CHisDataView::IDC_ZOOM_IN), 2707);
    name(chartView_->control(CHisDataView::IDC_ZOOM_OUT), 2708);
    name(chartView_->control(CHisDataView::IDC_TRACKBAR), 2709, 2715);
    name(chartView_->control(CHisDataView::IDC_READOUT), 2710, 2716);
    name(chartView_->control(CHisDataView::IDC_SAMPLE_LIST), 2711);
    name(statsView_->excursionTable(), 2712, 2717);
}

void CDeepColdThermivoDlg::applyTabOrder() {
    // Top strip, summary band, the chart's controls and its list (the statistics table when that page is
    // in front), then the right-hand column down to Exit.
    const QList<QWidget*> order = {Control(IDC_CONNECT),
                                   Control(IDC_CALIBRATION),
                                   Control(IDC_START_RECORD),
                                   Control(IDC_MINUTES),
                                   Tab(),
                                   chartView_->control(CHisDataView::IDC_TRACKBAR),
                                   chartView_->control(CHisDataView::IDC_ZOOM_IN),
                                   chartView_->control(CHisDataView::IDC_ZOOM_OUT),
                                   chartView_->control(CHisDataView::IDC_HUMI_SWITCH),
                                   chartView_->control(CHisDataView::IDC_AUTOSCALE),
                                   chartView_->control(CHisDataView::IDC_SAMPLE_LIST),
                                   statsView_->excursionTable(),
                                   Control(IDC_CELSIUS),
                                   Control(IDC_FAHRENHEIT),
                                   Control(IDC_DOWNLOAD),
                                   Control(IDC_SAVE),
                                   Control(IDC_OPEN),
                                   Control(IDC_PRINT),
                                   Control(IDC_EXIT)};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void CDeepColdThermivoDlg::layoutScaling() {
    QSize screenSize = screenSize_;
    if (screenSize.isEmpty()) {
        QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
        screenSize = s != nullptr ? s->availableGeometry().size() : QSize(1024, 768);
    }
    const DialogUnits du;
    const int clientW = du.x(kTemplateWidth);
    const int clientH = du.y(kTemplateHeight);
    // The caption bar is part of the window the screen has to hold, but it does not scale.
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const float f =
        std::min(0.9f * static_cast<float>(screenSize.width()) / static_cast<float>(clientW),
                 0.9f * static_cast<float>(screenSize.height() - caption) / static_cast<float>(clientH));
    layoutFactor_ = f;
    const int w = static_cast<int>(static_cast<float>(clientW) * f);
    const int h = static_cast<int>(static_cast<float>(clientH) * f);

    const QFont font = scaledDialogFont(f);
    QFont latinFont = font;
    latinFont.setPixelSize(std::max(1, static_cast<int>(static_cast<float>(dialogFont().pixelSize()) * f)));
    setFont(font);
    for (auto it = templateRects_.cbegin(); it != templateRects_.cend(); ++it) {
        QWidget* w2 = Control(it.key());
        // The unit buttons show a degree sign and a letter in a narrow box, and the status line fits its
        // own font to the message and file name: no floor for Chinese there.
        const bool ownSize = it.key() == IDC_CELSIUS || it.key() == IDC_FAHRENHEIT || it.key() == IDC_STATUS;
        w2->setFont(ownSize ? latinFont : font);
        w2->setGeometry(scaleAboutCentre(du.toPixels(it.value()), f));
    }
    // The banner area spans the strip above the summary band.
    Control(IDC_BANNER)
        ->setGeometry(QRect(0, 0, w, static_cast<int>(static_cast<float>(du.y(kBannerBandHeight)) * f)));

    QWidget* frame = Control(IDC_SUMMARY_FRAME);
    summView_->setGeometry(frame->contentsRect());
    summView_->RescaleLayout(f, 0, 0);
    chartView_->RescaleLayout(f, 0, 0);
    statsView_->RescaleLayout(f);

    setFixedSize(w, h);
    QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QPoint origin = s != nullptr ? s->availableGeometry().topLeft() : QPoint();
    move(origin.x() + std::max(0, (screenSize.width() - w) / 2),
         origin.y() + std::max(0, (screenSize.height() - h - caption) / 2));
}

QRect CDeepColdThermivoDlg::BannerArea() const {
    return Control(IDC_BANNER)->geometry();
}
QRect CDeepColdThermivoDlg::IndicatorArea() const {
    return Control(IDC_INDICATOR)->geometry();
}

void CDeepColdThermivoDlg::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    std::int32_t kind = 0, battery = 0;
    {
        const RecordingLock lock = LockRecording();
        kind = rec_.kind;
        battery = rec_.batteryPercent;
    }
    drawInstrumentIndicator(p, IndicatorArea(), kind, battery);
    if (banner_.isNull()) return;
    // The banner covers its strip keeping its proportions; what is too high is cut at the bottom.
    const QRect area = BannerArea();
    if (area.isEmpty()) return;
    const double scale = std::max(static_cast<double>(area.width()) / banner_.width(),
                                  static_cast<double>(area.height()) / banner_.height());
    const QRectF source(0, 0, std::min<double>(banner_.width(), area.width() / scale),
                        std::min<double>(banner_.height(), area.height() / scale));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(area.topLeft(), QSizeF(source.width() * scale, source.height() * scale)), banner_,
                source);
}

void CDeepColdThermivoDlg::RedrawIndicator() {
    update(IndicatorArea());
}
void CDeepColdThermivoDlg::RedrawBanner() {
    update(BannerArea());
}

void CDeepColdThermivoDlg::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    menu.addAction(aboutAction_);
    menu.exec(e->globalPos());
}

void CDeepColdThermivoDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) showAbout();
}

void CDeepColdThermivoDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CDeepColdThermivoDlg::OnTabSelChange(int index) {
    if (historyView_ != nullptr && Tab()->widget(index) == historyView_) historyView_->CameToFront();
    if (chartView_ == nullptr) return;
    if (index == 0) chartView_->show();
    if (index == 1) chartView_->hide();
}

// --- units -----------------------------------------------------------------------------------------------

void CDeepColdThermivoDlg::OnCelsius() {
    switchUnit(AppSettings::instance().unitCelsius);
}
void CDeepColdThermivoDlg::OnFahrenheit() {
    switchUnit(AppSettings::instance().unitFahrenheit);
}

void CDeepColdThermivoDlg::switchUnit(const std::string& unit) {
    AppSettings& settings = AppSettings::instance();
    if (settings.currentUnit == unit || DownloadRunning()) return;
    settings.currentUnit = unit;
    const RecordingLock lock = LockRecording();
    rec_.formatTemperatureTexts();
    if (summView_ != nullptr) summView_->RefreshSummary(false);
    refreshChart();
    if (summView_ != nullptr) summView_->update();
}

void CDeepColdThermivoDlg::refreshChart() {
    if (chartView_ != nullptr) chartView_->RefreshChart();
    if (statsView_ != nullptr) statsView_->Refresh();
    RefreshHistory();
}

void CDeepColdThermivoDlg::SetHistory(HistoryLog* history) {
    history_ = history;
    if (historyView_ != nullptr) historyView_->SetHistory(history);
}

void CDeepColdThermivoDlg::RefreshHistory() {
    if (historyView_ != nullptr) historyView_->Refresh();
}

// --- print and exit --------------------------------------------------------------------------------------

void CDeepColdThermivoDlg::UpdatePrintButton() {
    bool samples = false, complete = false;
    {
        const RecordingLock lock = LockRecording();
        samples = rec_.hasSamples();
        complete = samples && !rec_.isIncomplete();
    }
    const bool idle = !DownloadRunning();
    // Save offers the received part of an incomplete download; Print shows only whole recordings.
    Control(IDC_SAVE)->setEnabled(idle && samples);
    Control(IDC_PRINT)->setEnabled(idle && complete);
    for (const int id : {IDC_OPEN, IDC_CELSIUS, IDC_FAHRENHEIT}) Control(id)->setEnabled(idle);
}

std::unique_ptr<Recording> CDeepColdThermivoDlg::SnapshotRecording() {
    auto copy = std::make_unique<Recording>();
    const RecordingLock lock = LockRecording();
    *copy = rec_;
    return copy;
}

void CDeepColdThermivoDlg::SetRecordingMutex(RecordingMutex* mutex) {
    recordingMutex_ = mutex;
    if (chartView_ != nullptr) chartView_->SetRecordingMutex(mutex);
}

void CDeepColdThermivoDlg::OnPrint() {
    if (DownloadRunning()) return;
    {
        const RecordingLock lock = LockRecording();
        if (!rec_.hasSamples() || rec_.isIncomplete()) return;
    }
    if (openPrintDialog) openPrintDialog(*this);
}

void CDeepColdThermivoDlg::reject() {
    // Leaving in the middle of a download loses it: the question says so, and No is its default.
    if (!prompts().askYesNo(this, qs(text(DownloadRunning() ? 2422 : 130)))) return;
    QDialog::reject();
}

// --- messages --------------------------------------------------------------------------------------------

void CDeepColdThermivoDlg::post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
    winmsg::postWindowMessage(this, message, wParam, lParam);
}

bool CDeepColdThermivoDlg::event(QEvent* e) {
    if (e->type() == winmsg::WindowMessageEvent::eventType()) {
        const auto* m = static_cast<winmsg::WindowMessageEvent*>(e);
        OnWindowMessage(m->message(), m->wParam(), m->lParam());
        return true;
    }
    return QDialog::event(e);
}

void CDeepColdThermivoDlg::OnWindowMessage(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
    switch (message) {
        case WM_DATA_INDICATOR:
            static_cast<QProgressBar*>(Control(IDC_DATA_BAR))->setValue(lParam == 1 ? 100 : 0);
            return;
        case WM_DOWNLOAD_PROGRESS: {
            int position = 0;
            const RecordingLock lock = LockRecording();
            if (lParam == -1 && rec_.sampleCount > 0) {
                const float done =
                    static_cast<float>(rec_.samplesLoaded) / static_cast<float>(rec_.sampleCount);
                // The last block may overshoot the count; a bar value out of range would be ignored.
                position = std::clamp(static_cast<int>(5.0f + 195.0f * done), 0, 200);
            } else if (lParam == 1) {
                position = 200;
            }
            static_cast<QProgressBar*>(Control(IDC_DOWNLOAD_BAR))->setValue(position);
            return;
        }
        default:
            if (linkMessageHandler) linkMessageHandler(message, wParam, lParam);
            return;
    }
}

void CDeepColdThermivoDlg::SetStatusText(const QString& s) {
    static_cast<StatusLine*>(Control(IDC_STATUS))->setMessage(s);
}

// --- files -----------------------------------------------------------------------------------------------

const QString& CDeepColdThermivoDlg::RecordFileFilter() {
    static const QString f = QStringLiteral("Kelvora Files (*.kvlu)");
    return f;
}

const QString& CDeepColdThermivoDlg::WorksheetFilter() {
    static const QString f = QStringLiteral("WorkSheet Files (*.xlc *.xls)");
    return f;
}

const QString& CDeepColdThermivoDlg::XlsxFilter() {
    static const QString f = QStringLiteral("Excel Workbook (*.xlsx)");
    return f;
}

QString CDeepColdThermivoDlg::DefaultFileFolder() {
    const QString own = QCoreApplication::applicationDirPath();
    if (!own.isEmpty() && QFileInfo(own).isWritable()) return own;
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty() || !QFileInfo(docs).isDir())
        docs = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return docs;
}

void CDeepColdThermivoDlg::OnSaveData() {
    if (DownloadRunning()) return;
    // The dialogs below run event loops, so the save works on a copy and never holds the lock across them.
    const std::unique_ptr<Recording> copy = SnapshotRecording();
    if (!copy->hasSamples()) return;
    if (copy->isIncomplete()) {
        const QString question =
            qs(textWith(2055, {std::to_string(copy->arrivedSamples()), std::to_string(copy->sampleCount)}));
        if (!prompts().askYesNo(this, question)) return;
        copy->cutToReceivedSamples();
    }
    saving_ = copy.get();
    saveCopy();
    saving_ = nullptr;
}

void CDeepColdThermivoDlg::saveCopy() {
    QString selected = RecordFileFilter();
    QString filters = RecordFileFilter() + QStringLiteral(";;") + WorksheetFilter();
    if (xlsxExportAvailable()) filters += QStringLiteral(";;") + XlsxFilter();
    filters += QStringLiteral(";;") + reportFilter();
    const QString chosen = prompts().saveFileName(this, DefaultFileFolder(), filters, &selected);
    if (chosen.isEmpty()) return;
    if (selected == reportFilter()) {
        const ReportSaveResult report = saveReportBeside(this, RecordingToSave(), chosen, history_);
        RefreshHistory();
        if (!report.statusName.isEmpty()) SetStatusText(qs(text(report.ok ? 37 : 38)) + report.statusName);
        return;
    }
    const int filter = selected == WorksheetFilter() ? kFilterWorksheet
                       : selected == XlsxFilter()    ? kFilterXlsx
                                                     : kFilterRecordFile;
    const SaveTargets targets =
        saveTargets(chosen.toStdString(), QFileInfo(chosen).fileName().toStdString(), filter);

    // The status names the first target that failed, else the last one written.
    std::string failed;
    if (targets.recordFile && !saveRecordFile(QString::fromStdString(targets.recordPath)))
        failed = targets.recordName;
    if (targets.workbook && !saveWorksheet(QString::fromStdString(targets.workbookPath)) && failed.empty())
        failed = targets.workbookName;
    // The copy being saved, never the live recording: the reader may write into that one, and a partial save
    // must describe only the samples it writes.
    if (targets.xlsx) {
        if (writeRecordingXlsx(RecordingToSave(), targets.xlsxPath, AppSettings::instance()))
            recordFile(history_, HistoryEvent::FileExported, targets.xlsxPath, RecordingToSave(),
                       {{"format", "xlsx"}});
        else if (failed.empty())
            failed = targets.xlsxName;
    }
    RefreshHistory();
    SetStatusText(failed.empty() ? qs(text(37) + targets.statusName) : qs(text(38) + failed));
}

bool CDeepColdThermivoDlg::saveRecordFile(const QString& path) {
    RecordFile file(path.toStdString(), RecordFile::ModeWrite);
    const bool ok = file.isOpen() && file.write(RecordingToSave());
    file.close();
    if (ok) recordFile(history_, HistoryEvent::FileSaved, path.toStdString(), RecordingToSave());
    // The status line only names the file; the box says why, as for every save of the program.
    if (!ok) prompts().message(this, qs(saveProblemMessage(file.problem(), file.error())));
    return ok;
}

bool CDeepColdThermivoDlg::saveWorksheet(const QString& path) {
    // The worksheet branch of Save: the summary list is refilled here, the workbook itself is written by
    // the export, which plugs in through `exportWorksheet`.
    {
        const RecordingLock lock = LockRecording();
        summView_->FillSummaryList();
    }
    if (!exportWorksheet) return false;
    const bool ok = exportWorksheet(*this, path);
    if (ok)
        recordFile(history_, HistoryEvent::FileExported, path.toStdString(), RecordingToSave(),
                   {{"format", "xls"}});
    return ok;
}

void CDeepColdThermivoDlg::OnOpenFile() {
    if (DownloadRunning()) return;
    QStringList sidebar;
    if (!recordingsFolder_.isEmpty() && QFileInfo(recordingsFolder_).isDir()) sidebar << recordingsFolder_;
    const QString chosen = prompts().openFileName(this, DefaultFileFolder(), RecordFileFilter(), sidebar);
    const QFileInfo info(chosen);
    if (chosen.isEmpty() || info.suffix() != QLatin1String("kvlu")) return;
    OpenRecordFile(chosen, info.fileName());
}

void CDeepColdThermivoDlg::OpenRecordFile(const QString& path, const QString& name) {
    RecordFile file(path.toStdString(), RecordFile::ModeRead);
    if (!file.isOpen()) {
        // The recording stays as it was, but the user learns that the file was not read.
        file.close();
        SetStatusText(qs(text(40)) + name);
        return;
    }
    // A status reply may arrive while the file is read: the reader thread must wait for the whole file.
    RecordingLock lock = LockRecording();
    rec_.dataFlags = 0;
    const bool ok = file.read(rec_);
    if (!ok) rec_.reset();
    rec_.buildSampleTimes();
    rec_.batteryPercent = 0;
    rec_.batteryValid = false;

    RedrawIndicator();
    summView_->ShowHumidityRows();
    summView_->RefreshSummary(true);
    // A rejected file leaves an empty recording, and the band must not keep the previous file's figures.
    if (!ok) summView_->ClearValues();
    std::optional<HistoryEntry> opened;
    if (ok && history_ != nullptr) opened = fileEntry(HistoryEvent::FileOpened, path.toStdString(), rec_);
    refreshChart();
    if (lock.owns_lock()) lock.unlock();
    UpdatePrintButton();
    SetStatusText(qs(ok ? text(39) : text(40)) + name);
    if (ok && history_ != nullptr) {
        // Checked before the opening is recorded, though an opening never vouches for a file.
        const RecordingStore store(recordingsFolder_.isEmpty() ? RecordingStore::defaultRoot()
                                                               : recordingsFolder_.toStdString());
        const FileVerdict v = verifyFile(*history_, store, path.toStdString());
        history_->record(*opened);
        RefreshHistory();
        // The verdict first, so that a long file name is what the narrow line cuts; the whole of it, with
        // the opening, is the tooltip.
        const QString opening = Control(IDC_STATUS)->toolTip();
        SetStatusText(QLatin1Char(' ') + qs(verdictShortText(v)) + QStringLiteral(" · ") + name);
        Control(IDC_STATUS)->setToolTip(opening + QLatin1Char('\n') + qs(verdictText(v)));
    }
    post(WM_DATA_INDICATOR, 0, 0);
    post(WM_DOWNLOAD_PROGRESS, 0, 0);
    file.close();
}

void CDeepColdThermivoDlg::openCommandLineFile() {
    const auto file = commandLineFile(commandLine_.toStdString());
    if (!file) return;
    // A bare name has no folder part; the status line then shows the name as given.
    const QString name = file->fileName.empty() ? QString::fromStdString(file->fullPath)
                                                : QString::fromStdString(file->fileName);
    OpenRecordFile(QString::fromStdString(file->fullPath), name);
}

}  // namespace thermivo
