#pragma once
#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>

#include "data/Recording.h"
#include "link/LinkMessages.h"

class QLabel;
class QTableWidget;

namespace thermivo {

/// The summary band above the chart: label/value pairs of the current recording. It shows only texts the
/// recording already holds; it computes, formats and converts nothing itself.
class CSummFormView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRows = 16;

    CSummFormView(QWidget* parent, Recording& rec);

    /// Where WM_DATA_INDICATOR goes (the main window); nothing is posted while unset.
    void SetMessageSink(MessageSink* sink) { messageSink_ = sink; }

    /// Label captions from the text table, in the language of the run.
    void SetSummaryLabels();
    /// Shows the humidity rows for a temperature-and-humidity recording, hides them otherwise.
    void ShowHumidityRows();
    /// Value texts from the recording (empty where its valid bit is clear); `withData` reports data present.
    void RefreshSummary(bool withData);
    /// Empties every value text (a rejected file leaves nothing behind).
    void ClearValues();
    /// Lays the rows out for a window scaled by `factor`; left and top are the view's place in its host.
    void RescaleLayout(float factor, int left, int top);
    /// Refills the hidden Item/State list that the worksheet export reads.
    void FillSummaryList();
    QTableWidget* SummaryList() const { return list_; }

    float LayoutFactor() const { return factor_; }
    /// Base place of a row's label and value in dialog units, for the current humidity visibility.
    QRect LabelRect(int row) const;
    QRect ValueRect(int row) const;
    QLabel* Label(int row) const { return labels_[static_cast<std::size_t>(row)]; }
    QLabel* Value(int row) const { return values_[static_cast<std::size_t>(row)]; }
    bool HumidityShown() const { return humidityShown_; }

    /// Row facts: control ids, label text id, index into Recording::values, colour.
    struct RowFacts {
        int labelId;
        int labelText;
        int valueId;
        int valueIndex;
        QColor color;
        bool centred;
    };
    static const std::array<RowFacts, kRows>& Rows();

  private:
    void applyLayout();

    Recording& rec_;
    MessageSink* messageSink_ = nullptr;
    std::array<QLabel*, kRows> labels_{};
    std::array<QLabel*, kRows> values_{};
    QTableWidget* list_ = nullptr;
    QWidget* groupHumi_ = nullptr;
    QWidget* groupTemp_ = nullptr;
    float factor_ = 1.0f;
    int originX_ = 0, originY_ = 0;
    bool humidityShown_ = false;
};

}  // namespace thermivo
