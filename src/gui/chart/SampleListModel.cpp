#include "chart/SampleListModel.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "app/UiText.h"
#include "data/ListRows.h"
#include "data/Recording.h"

namespace thermivo {

namespace {
constexpr int kTextShortTemperature = 2760;
constexpr int kTextShortHumidity = 2761;
}  // namespace

SampleListModel::SampleListModel(const Recording& recording, QObject* parent)
    : QAbstractTableModel(parent), recording_(recording) {}

void SampleListModel::reset(int rows, int columns) {
    beginResetModel();
    rows_ = std::max(rows, 0);
    columns_ = std::clamp(columns, 0, kSampleListColumnsHumidity);
    endResetModel();
}

int SampleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SampleListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant SampleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole) return {};
    // The recording may have shrunk since the last reset; the cell helper returns "" for such rows.
    const RecordingLock lock = lockRecording(recordingMutex_);
    return QString::fromStdString(sampleListCell(recording_, index.row(), index.column()));
}

QVariant SampleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole) return {};
    // Four columns share the list's width: the value columns take the short names.
    if (columns_ == kSampleListColumnsHumidity && (section == 2 || section == 3))
        return QString::fromStdString(text(section == 2 ? kTextShortTemperature : kTextShortHumidity));
    return QString::fromStdString(sampleListHeader(section));
}

Qt::ItemFlags SampleListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CompactCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString cellText = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // Background, selection and focus as the style draws them; the text with our own margin.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    QPalette::ColorGroup group = QPalette::Disabled;
    if (opt.state & QStyle::State_Enabled)
        group = (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const auto role = (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, role));
    painter->drawText(opt.rect.adjusted(1, 0, -1, 0), Qt::AlignCenter, cellText);
    painter->restore();
}

int CompactHeaderStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                    const QWidget* widget) const {
    if (metric == PM_HeaderMargin) return 2;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

}  // namespace thermivo
