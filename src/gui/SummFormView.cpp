#include "SummFormView.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include "ControlIds.h"
#include "DialogUnits.h"
#include "app/UiText.h"
#include "data/ListRows.h"

namespace thermivo {

namespace {

const QColor kIdentityColor(0, 0, 200);
const QColor kTempColor(183, 50, 183);
const QColor kHumiColor(200, 130, 50);

// The band the main window shows is 516 x 69 dialog units. Five rows of label and value pairs in three
// groups (identity, temperature, humidity) and the description in the last column, so every row a user
// needs is inside the band. Without humidity the description takes the humidity column's place.
constexpr int kRowTop = 3;
constexpr int kRowPitch = 13;
constexpr int kRowHeight = 11;
struct Column {
    int labelX, labelWidth, valueX, valueWidth;
};
constexpr Column kIdentity{2, 70, 73, 90};
constexpr Column kTemp{168, 74, 243, 50};
constexpr Column kHumi{298, 74, 373, 52};
constexpr int kDescX = 430;
constexpr int kDescWidth = 84;
constexpr int kDescXWithoutHumi = 298;
constexpr int kDescWidthWithoutHumi = 216;
constexpr int kBandBottom = 67;  // inside the band frame, whose border takes the last unit

// Row slot of each summary row inside its group: (group, line).
enum Group { Identity, Temperature, Humidity, Description };
struct Slot {
    Group group;
    int line;
};
constexpr Slot kSlots[CSummFormView::kRows] = {
    {Identity, 0},    {Identity, 1},    {Identity, 2},    {Identity, 3},
    {Identity, 4},    {Description, 0}, {Temperature, 0}, {Temperature, 1},
    {Temperature, 2}, {Temperature, 3}, {Temperature, 4}, {Humidity, 0},
    {Humidity, 1},    {Humidity, 2},    {Humidity, 3},    {Humidity, 4},
};

const Column& columnOf(Group g) {
    switch (g) {
        case Temperature:
            return kTemp;
        case Humidity:
            return kHumi;
        default:
            return kIdentity;
    }
}

}  // namespace

const std::array<CSummFormView::RowFacts, CSummFormView::kRows>& CSummFormView::Rows() {
    static const std::array<RowFacts, kRows> rows = {{
        {IDC_SUMM_SERIAL_LABEL, 5, IDC_SUMM_SERIAL, Recording::ValSerial, kIdentityColor, false},
        {IDC_SUMM_START_LABEL, 6, IDC_SUMM_START, Recording::ValStart, kIdentityColor, false},
        {IDC_SUMM_STOP_LABEL, 7, IDC_SUMM_STOP, Recording::ValStop, kIdentityColor, false},
        {IDC_SUMM_INTERVAL_LABEL, 8, IDC_SUMM_INTERVAL, Recording::ValInterval, kIdentityColor, false},
        {IDC_SUMM_COUNT_LABEL, 9, IDC_SUMM_COUNT, Recording::ValCount, kIdentityColor, false},
        {IDC_SUMM_DESCRIPTION_LABEL, 20, IDC_SUMM_DESCRIPTION, Recording::ValDescription, kIdentityColor,
         false},
        {IDC_SUMM_TEMP_MAX_LABEL, 10, IDC_SUMM_TEMP_MAX, Recording::ValTempMax, kTempColor, true},
        {IDC_SUMM_TEMP_MIN_LABEL, 11, IDC_SUMM_TEMP_MIN, Recording::ValTempMin, kTempColor, true},
        {IDC_SUMM_TEMP_AVG_LABEL, 12, IDC_SUMM_TEMP_AVG, Recording::ValTempAvg, kTempColor, true},
        {IDC_SUMM_TEMP_UPPER_LABEL, 13, IDC_SUMM_TEMP_UPPER, Recording::ValTempUpper, kTempColor, true},
        {IDC_SUMM_TEMP_LOWER_LABEL, 14, IDC_SUMM_TEMP_LOWER, Recording::ValTempLower, kTempColor, true},
        {IDC_SUMM_HUMI_MAX_LABEL, 15, IDC_SUMM_HUMI_MAX, Recording::ValHumiMax, kHumiColor, true},
        {IDC_SUMM_HUMI_MIN_LABEL, 16, IDC_SUMM_HUMI_MIN, Recording::ValHumiMin, kHumiColor, true},
        {IDC_SUMM_HUMI_AVG_LABEL, 17, IDC_SUMM_HUMI_AVG, Recording::ValHumiAvg, kHumiColor, true},
        {IDC_SUMM_HUMI_UPPER_LABEL, 18, IDC_SUMM_HUMI_UPPER, Recording::ValHumiUpper, kHumiColor, true},
        {IDC_SUMM_HUMI_LOWER_LABEL, 19, IDC_SUMM_HUMI_LOWER, Recording::ValHumiLower, kHumiColor, true},
    }};
    return rows;
}

CSummFormView::CSummFormView(QWidget* parent, Recording& rec) : QWidget(parent), rec_(rec) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(pal);
    setFont(dialogFont());

    // The template's two frames stay hidden; they only exist so every control of the form is there.
    auto* humiGroup = new QGroupBox(this);
    humiGroup->setObjectName(QString::number(IDC_SUMM_HUMI_GROUP));
    humiGroup->hide();
    groupHumi_ = humiGroup;
    auto* tempGroup = new QGroupBox(this);
    tempGroup->setObjectName(QString::number(IDC_SUMM_TEMP_GROUP));
    tempGroup->hide();
    groupTemp_ = tempGroup;

    for (int row = 0; row < kRows; ++row) {
        const RowFacts& facts = Rows()[static_cast<std::size_t>(row)];
        auto* label = new QLabel(this);
        label->setObjectName(QString::number(facts.labelId));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* value = new QLabel(this);
        value->setObjectName(QString::number(facts.valueId));
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->setAlignment((facts.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        QPalette vp = value->palette();
        vp.setColor(QPalette::WindowText, facts.color);
        value->setPalette(vp);
        if (facts.valueIndex == Recording::ValDescription) {
            value->setWordWrap(true);
            value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
        labels_[static_cast<std::size_t>(row)] = label;
        values_[static_cast<std::size_t>(row)] = value;
    }

    list_ = new QTableWidget(0, 2, this);
    list_->setObjectName(QString::number(IDC_SUMM_LIST));
    list_->setHorizontalHeaderLabels({QString::fromStdString(text(35)), QString::fromStdString(text(36))});
    list_->setColumnWidth(0, 150);
    list_->setColumnWidth(1, 150);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    list_->hide();

    ShowHumidityRows();
    applyLayout();
}

void CSummFormView::SetSummaryLabels() {
    for (int row = 0; row < kRows; ++row)
        labels_[static_cast<std::size_t>(row)]->setText(
            QString::fromStdString(text(Rows()[static_cast<std::size_t>(row)].labelText)));
}

void CSummFormView::ShowHumidityRows() {
    humidityShown_ = rec_.kind == KindTempHumi;
    for (int row = 0; row < kRows; ++row) {
        if (kSlots[row].group != Humidity) continue;
        labels_[static_cast<std::size_t>(row)]->setVisible(humidityShown_);
        values_[static_cast<std::size_t>(row)]->setVisible(humidityShown_);
    }
    applyLayout();
    update();
}

void CSummFormView::RefreshSummary(bool withData) {
    if (rec_.kind == KindNone) {
        if (messageSink_ != nullptr) messageSink_->post(WM_DATA_INDICATOR, 0, 0);
        return;
    }
    for (int row = 0; row < kRows; ++row) {
        const RowFacts& facts = Rows()[static_cast<std::size_t>(row)];
        const bool valid = (rec_.validMask & (1u << row)) != 0;
        const std::string& value = rec_.values[static_cast<std::size_t>(facts.valueIndex)];
        values_[static_cast<std::size_t>(row)]->setText(valid ? QString::fromStdString(value) : QString());
    }
    if (withData && messageSink_ != nullptr) messageSink_->post(WM_DATA_INDICATOR, 0, 1);
}

void CSummFormView::ClearValues() {
    for (QLabel* value : values_) value->clear();
}

void CSummFormView::RescaleLayout(float factor, int left, int top) {
    factor_ = factor;
    originX_ = static_cast<int>(factor * static_cast<float>(left));
    originY_ = static_cast<int>(factor * static_cast<float>(top));
    applyLayout();
}

QRect CSummFormView::LabelRect(int row) const {
    const Slot slot = kSlots[row];
    const int y = kRowTop + slot.line * kRowPitch;
    if (slot.group == Description) {
        const int x = humidityShown_ ? kDescX : kDescXWithoutHumi;
        const int w = humidityShown_ ? kDescWidth : kDescWidthWithoutHumi;
        return QRect(x, y, w, kRowHeight);
    }
    const Column& c = columnOf(slot.group);
    return QRect(c.labelX, y, c.labelWidth, kRowHeight);
}

QRect CSummFormView::ValueRect(int row) const {
    const Slot slot = kSlots[row];
    if (slot.group == Description) {
        const QRect label = LabelRect(row);
        const int y = kRowTop + kRowPitch;
        return QRect(label.x(), y, label.width(), kBandBottom - y);
    }
    const Column& c = columnOf(slot.group);
    return QRect(c.valueX, kRowTop + slot.line * kRowPitch, c.valueWidth, kRowHeight);
}

void CSummFormView::applyLayout() {
    // Places come from the dialog-unit layout of the unscaled font, then scale with the window, so the
    // band keeps its proportions at every screen size. They are relative to the view itself, so the view's
    // place in its host does not enter.
    const DialogUnits du;
    const QFont font = scaledDialogFont(factor_);
    for (int row = 0; row < kRows; ++row) {
        QLabel* label = labels_[static_cast<std::size_t>(row)];
        QLabel* value = values_[static_cast<std::size_t>(row)];
        label->setFont(font);
        value->setFont(font);
        label->setGeometry(scaleAboutCentre(du.toPixels(LabelRect(row)), factor_));
        value->setGeometry(scaleAboutCentre(du.toPixels(ValueRect(row)), factor_));
    }
    groupHumi_->setFont(font);
    groupTemp_->setFont(font);
    groupHumi_->setGeometry(scaleAboutCentre(du.toPixels(QRect(2, 169, 192, 68)), factor_));
    groupTemp_->setGeometry(scaleAboutCentre(du.toPixels(QRect(299, 190, 192, 68)), factor_));
}

void CSummFormView::FillSummaryList() {
    const auto rows = summaryListRows(rec_);
    list_->clearContents();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const auto& [label, value] = rows[static_cast<std::size_t>(i)];
        list_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(label)));
        list_->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(value)));
    }
}

}  // namespace thermivo
