#pragma once
#include <QWidget>

#include "chart/ChartGeometry.h"

namespace thermivo {

/// One line under the chart that explains the dotted alarm lines, with both limits, and the "*" of the
/// sample list. Its font shrinks when the line is too narrow for it.
class ChartLegend : public QWidget {
    Q_OBJECT
  public:
    explicit ChartLegend(QWidget* parent = nullptr);

    void setLegend(const AlarmLegend& legend);
    const AlarmLegend& legend() const { return legend_; }
    /// The font the line is painted in at the current width.
    QFont shownFont() const;
    /// Width the whole line takes in `font`: two line samples with their limits, then the marker.
    int lineWidth(const QFont& font) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    AlarmLegend legend_;
};

}  // namespace thermivo
