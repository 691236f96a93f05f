#include "StatisticsView.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "DialogUnits.h"
#include "QtText.h"
#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/Recording.h"

namespace thermivo {

namespace {
enum Column { ColQuantity, ColSide, ColStart, ColEnd, ColDuration, ColExtreme, ColCount };
}

CStatisticsView::CStatisticsView(QWidget* parent, const Recording& recording)
    : QWidget(parent), recording_(recording) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 6, 8, 6);
    grid_ = new QGridLayout();
    grid_->setHorizontalSpacing(12);
    grid_->setVerticalSpacing(2);
    grid_->setColumnStretch(3, 1);
    outer->addLayout(grid_);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("excursionTable"));
    table_->setColumnCount(ColCount);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    // One Tab stop: the arrows move between the rows, Tab goes on to the next control.
    table_->setTabKeyNavigation(false);
    table_->installEventFilter(this);
    outer->addWidget(table_, 1);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &CStatisticsView::activateRow);
    Refresh();
}

void CStatisticsView::activateRow(int row) {
    const QTableWidgetItem* item = table_->item(row, ColQuantity);
    if (item != nullptr) emit excursionActivated(item->data(Qt::UserRole).toInt());
}

bool CStatisticsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            const int row = table_->currentRow();
            if (row >= 0) activateRow(row);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CStatisticsView::RescaleLayout(float factor) {
    // The header takes the platform's header font unless it is given one: it follows the layout like the
    // rows.
    const QFont font = scaledDialogFont(factor);
    setFont(font);
    table_->setFont(font);
    table_->horizontalHeader()->setFont(font);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    Refresh();
}

void CStatisticsView::showEvent(QShowEvent* event) {
    // A download may have finished or the unit changed while another page was in front.
    Refresh();
    QWidget::showEvent(event);
}

void CStatisticsView::clearRows() {
    for (QLabel* l : labels_) delete l;
    for (QLabel* l : values_) delete l;
    labels_.clear();
    values_.clear();
}

void CStatisticsView::addRow(const std::string& label, const std::string& value) {
    // Two label/value pairs side by side, so the figures leave room for the table.
    const int n = static_cast<int>(labels_.size());
    const int row = n / 2, col = (n % 2) * 2;
    auto* l = new QLabel(qs(label), this);
    auto* v = new QLabel(qs(value), this);
    QFont bold = v->font();
    bold.setBold(true);
    v->setFont(bold);
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_->addWidget(l, row, col);
    grid_->addWidget(v, row, col + 1);
    labels_.append(l);
    values_.append(v);
}

int CStatisticsView::rowCount() const {
    return static_cast<int>(labels_.size());
}
QString CStatisticsView::labelText(int row) const {
    return row >= 0 && row < labels_.size() ? labels_[row]->text() : QString();
}
QString CStatisticsView::valueText(int row) const {
    return row >= 0 && row < values_.size() ? values_[row]->text() : QString();
}

void CStatisticsView::Refresh() {
    clearRows();
    table_->setRowCount(0);
    table_->setHorizontalHeaderLabels(
        {qs(text(2744)), qs(text(2306)), qs(text(2307)), qs(text(2308)), qs(text(2309)), qs(text(2310))});
    if (!recording_.hasSamples()) return;
    const AppSettings& settings = AppSettings::instance();
    const RecordingStatistics s = computeStatistics(recording_);
    const std::string none = text(2322);
    addRow(text(2301), s.mktCelsius ? temperatureText(*s.mktCelsius, settings) : none);
    addRow(text(2302), format("%g kJ/mol", s.activationEnergyKJPerMol));
    addRow(text(2317), s.maxCelsius ? temperatureText(*s.maxCelsius, settings) : none);
    addRow(text(2318), s.minCelsius ? temperatureText(*s.minCelsius, settings) : none);
    addRow(text(2319), s.avgCelsius ? temperatureText(*s.avgCelsius, settings) : none);
    addRow("", "");
    const auto times = [&](const LimitStatistics& l, int aboveText) {
        addRow(text(aboveText), l.alarmOn ? durationText(l.secondsAbove) : text(2313));
        addRow(text(aboveText + 1), l.alarmOn ? durationText(l.secondsBelow) : text(2313));
    };
    times(s.temperature, 2740);
    if (s.hasHumidity) times(s.humidity, 2742);

    const auto fill = [&](const LimitStatistics& l, bool humidity) {
        for (const Excursion& e : l.excursions) {
            const int row = table_->rowCount();
            table_->insertRow(row);
            const ExcursionRow r = excursionRow(e, humidity, settings);
            const QString cells[ColCount] = {qs(text(humidity ? 2321 : 2320)),
                                             qs(r.side),
                                             qs(r.start),
                                             qs(r.end),
                                             qs(r.duration),
                                             qs(r.extreme)};
            for (int c = 0; c < ColCount; ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                item->setTextAlignment(Qt::AlignCenter);
                if (c == ColQuantity) item->setData(Qt::UserRole, e.firstSample);
                table_->setItem(row, c, item);
            }
        }
    };
    fill(s.temperature, false);
    if (s.hasHumidity) fill(s.humidity, true);
    table_->resizeColumnsToContents();
}

}  // namespace thermivo
