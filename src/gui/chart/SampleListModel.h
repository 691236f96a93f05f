#pragma once
#include <QAbstractTableModel>
#include <QProxyStyle>
#include <QStyledItemDelegate>

#include "data/RecordingLock.h"

namespace thermivo {

struct Recording;

/// The side list of the chart view as a virtual table: it stores no texts and formats each cell when the view
/// asks for it, so a full recording costs nothing until its rows scroll into sight.
class SampleListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SampleListModel(const Recording& recording, QObject* parent = nullptr);
    /// Cells are read under this lock (the reader thread may be decoding into the recording).
    void setRecordingMutex(RecordingMutex* mutex) { recordingMutex_ = mutex; }

    /// Rebuilds the list: `columns` columns (0 or the three sample columns) and `rows` items.
    void reset(int rows, int columns);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const Recording& recording_;
    RecordingMutex* recordingMutex_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;
};

/// Draws the list's cells centred with a one-pixel margin: the columns are narrow, and the style's usual
/// margins would cut a five-digit sample number or a full date.
class CompactCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

/// The same for the column headers: a narrow margin so "Temperature" fits its column.
class CompactHeaderStyle : public QProxyStyle {
    Q_OBJECT
  public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

}  // namespace thermivo
