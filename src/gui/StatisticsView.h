#pragma once
#include <QWidget>

class QLabel;
class QTableWidget;
class QGridLayout;

namespace thermivo {

struct Recording;

/// The "Statistics" page of the main window's tab: mean kinetic temperature, minimum, maximum and average,
/// the times outside the alarm limits and the table of excursions, in the language and unit in force.
/// Double-clicking an excursion, or Enter or Space on it, asks the chart to show it. It only reads the
/// recording.
class CStatisticsView : public QWidget {
    Q_OBJECT
  public:
    CStatisticsView(QWidget* parent, const Recording& recording);

    /// Recomputes everything from the recording (the whole of it).
    void Refresh();
    /// Fonts of the figures, the table and its header at the main window's layout factor.
    void RescaleLayout(float factor);

    /// The value shown beside a label row, by row index, for tests; empty when there is no such row.
    QString valueText(int row) const;
    QString labelText(int row) const;
    int rowCount() const;
    QTableWidget* excursionTable() const { return table_; }

  signals:
    /// An excursion was double-clicked: its first sample.
    void excursionActivated(int sample);

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    /// Double click, Enter or Space on a row: the chart shows that excursion.
    void activateRow(int row);
    void addRow(const std::string& label, const std::string& value);
    void clearRows();

    const Recording& recording_;
    QGridLayout* grid_ = nullptr;
    QTableWidget* table_ = nullptr;
    QList<QLabel*> labels_, values_;
};

}  // namespace thermivo
