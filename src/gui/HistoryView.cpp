#include "HistoryView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "QtText.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "history/HistoryLog.h"

namespace thermivo {

namespace {

constexpr int kTextHeading = 2926;
constexpr int kTextNoRecording = 2927;
constexpr int kTextNoEvents = 2928;
// Column headers in column order: time, event, user, computer, program, details.
constexpr int kColumnTexts[CHistoryView::ColCount] = {2920, 2924, 2921, 2922, 2923, 2925};

QString localTime(std::int64_t seconds) {
    const auto t = toLocal(seconds);
    if (!t) return QString::number(seconds);
    return qs(
        format("%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day, t->hour, t->minute, t->second));
}

// The serial number as the record file keeps it: 11 characters, trailing blanks dropped.
QString fileSerial(const std::string& serial) {
    return qs(serial.substr(0, 11)).trimmed();
}

}  // namespace

CHistoryView::CHistoryView(QWidget* parent, const Recording& recording)
    : QWidget(parent), recording_(recording) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 6, 8, 6);
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("historyHeading"));
    outer->addWidget(heading_);
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("historyTable"));
    table_->setColumnCount(ColCount);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    outer->addWidget(table_, 1);
}

void CHistoryView::SetHistory(HistoryLog* history) {
    history_ = history;
    Refresh();
}

void CHistoryView::Refresh() {
    stale_ = true;
    // The tab hides every page but the one in front; only that one reads the history now.
    if (!isHidden()) reload();
}

void CHistoryView::CameToFront() {
    if (stale_) reload();
}

void CHistoryView::showEvent(QShowEvent* event) {
    // Downloads and saves recorded while another page was in front.
    if (stale_) reload();
    QWidget::showEvent(event);
}

void CHistoryView::reload() {
    stale_ = false;
    QStringList headers;
    for (const int id : kColumnTexts) headers << qs(text(id));
    table_->setHorizontalHeaderLabels(headers);
    serial_ = fileSerial(recording_.serialText());
    table_->setRowCount(0);
    if (serial_.isEmpty()) {
        heading_->setText(qs(text(kTextNoRecording)));
        return;
    }
    std::vector<HistoryRow> rows;
    std::string error;
    if (history_ != nullptr) rows = history_->rows(serial_.toStdString(), &error);
    if (!error.empty()) {
        heading_->setText(qs(textWith(2916, {history_->path(), error})));
        return;
    }
    heading_->setText(qs(textWith(kTextHeading, {serial_.toStdString()})) +
                      (rows.empty() ? QStringLiteral("  ") + qs(text(kTextNoEvents)) : QString()));
    table_->setRowCount(static_cast<int>(rows.size()));
    int r = 0;
    // Newest first: the download or save just made is at the top.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it, ++r) {
        QString details;
        for (const auto& [key, value] : decodeHistoryDetails(it->details))
            details += (details.isEmpty() ? QString() : QStringLiteral("; ")) + qs(key) + QLatin1Char('=') +
                       qs(value);
        const QString cells[ColCount] = {localTime(it->seconds()),
                                         qs(historyEventText(it->event)),
                                         qs(it->user),
                                         qs(it->host),
                                         qs(it->program),
                                         details};
        for (int c = 0; c < ColCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            if (c == ColTime) item->setData(Qt::UserRole, static_cast<qlonglong>(it->id));
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();
}

}  // namespace thermivo
