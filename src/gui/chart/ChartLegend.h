#pragma once
#include <QWidget>

#include "chart/ChartGeometry.h"

namespace thermivo {

/// The line under the chart that explains the dotted alarm lines, with both limits, and the "*" of the
/// sample list; a second line names the humidity limits in the humidity's colour. Its font shrinks when the
/// line is too narrow for it.
class ChartLegend : public QWidget {
    Q_OBJECT
  public:
    explicit ChartLegend(QWidget* parent = nullptr);

    void setLegend(const AlarmLegend& legend);
    const AlarmLegend& legend() const { return legend_; }
    /// The font the line is painted in at the current width.
    QFont shownFont() const;
    /// Width the widest row takes in `font`: two line samples with their limits, then the marker; a kind-4
    /// recording adds a row for the humidity limits.
    int lineWidth(const QFont& font) const;
    /// Rows of the legend: one, two with the humidity limits.
    int rows() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    AlarmLegend legend_;
};

}  // namespace thermivo
