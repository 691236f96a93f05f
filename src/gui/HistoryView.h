#pragma once
#include <QWidget>

class QLabel;
class QTableWidget;

namespace thermivo {

class HistoryLog;
struct Recording;

/// The "History" page of the main window's tab: the events this computer recorded for the instrument of
/// the open recording (downloads, clock settings, starts, files written and read), newest first. It only
/// reads the history and the recording.
class CHistoryView : public QWidget {
    Q_OBJECT
  public:
    enum Column { ColTime, ColEvent, ColUser, ColHost, ColProgram, ColDetails, ColCount };

    CHistoryView(QWidget* parent, const Recording& recording);

    /// The history shown; nullptr shows none.
    void SetHistory(HistoryLog* history);
    /// Reads the history again when the page is in front, else at the next show.
    void Refresh();
    /// The page came to the front: reads the history when something was recorded since.
    void CameToFront();
    /// The serial number whose events are shown ("" when no recording is open).
    const QString& Serial() const { return serial_; }
    QTableWidget* table() const { return table_; }
    QLabel* heading() const { return heading_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void reload();

    const Recording& recording_;
    HistoryLog* history_ = nullptr;
    QLabel* heading_ = nullptr;
    QTableWidget* table_ = nullptr;
    QString serial_;
    bool stale_ = true;
};

}  // namespace thermivo
