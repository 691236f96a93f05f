#pragma once
#include <QDialog>
#include <QImage>
#include <QMap>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <functional>
#include <memory>

#include "data/Recording.h"
#include "data/RecordingLock.h"
#include "link/LinkMessages.h"

class QAction;
class QTabWidget;

namespace thermivo {

class CSummFormView;
class CHisDataView;
class CStatisticsView;
class CHistoryView;
class HistoryLog;

/// The program's only top-level window: instrument controls along the top and right, the summary band,
/// and the chart view in a tab. It owns the views; the recording belongs to the application object.
class CDeepColdThermivoDlg : public QDialog, public MessageSink {
    Q_OBJECT
  public:
    explicit CDeepColdThermivoDlg(Recording& rec, QWidget* parent = nullptr);
    ~CDeepColdThermivoDlg() override;

    /// The command line as received; a *.kvlu file named there opens at the end of initialisation.
    void SetCommandLine(const QString& line) { commandLine_ = line; }
    /// Serial device paths and the simulator switch for the instrument link.
    void SetLinkOptions(const QStringList& portPaths, bool simulate);
    const QStringList& PortPaths() const { return portPaths_; }
    bool Simulate() const { return simulate_; }
    /// Screen size for the layout step; an empty size takes the window's screen.
    void SetScreenSize(const QSize& size) { screenSize_ = size; }

    /// Builds the window's contents in order; runs once, before the window is shown.
    bool OnInitDialog();
    /// Initialises (when not done yet) and runs the window modally.
    int DoModal();

    /// The control with this id, or nullptr.
    QWidget* Control(int id) const;
    CSummFormView* SummaryView() const { return summView_; }
    CHisDataView* ChartView() const { return chartView_; }
    CStatisticsView* StatisticsView() const { return statsView_; }
    CHistoryView* HistoryView() const { return historyView_; }
    /// Where opened, saved, exported and printed files are recorded, and what the History page lists;
    /// nullptr (the default) records nothing.
    void SetHistory(HistoryLog* history);
    HistoryLog* History() const { return history_; }
    /// Makes the History page read the history again (after an event was recorded elsewhere).
    void RefreshHistory();
    QTabWidget* Tab() const;
    Recording& GetRecording() { return rec_; }
    /// The recording a Save in progress writes (the received part of an incomplete download), else the
    /// recording itself. The worksheet export reads this one.
    const Recording& RecordingToSave() const { return saving_ != nullptr ? *saving_ : rec_; }
    /// A copy of the recording taken under its lock, for work that outlives a lock (print preview, save).
    std::unique_ptr<Recording> SnapshotRecording();
    /// The lock the serial reader thread takes while it decodes into the recording (none without a link).
    void SetRecordingMutex(RecordingMutex* mutex);
    RecordingLock LockRecording() { return lockRecording(recordingMutex_); }
    /// Where complete downloads are kept; the Open dialog offers it in its side bar.
    void SetRecordingsFolder(const QString& folder) { recordingsFolder_ = folder; }
    const QString& RecordingsFolder() const { return recordingsFolder_; }
    float LayoutFactor() const { return layoutFactor_; }
    const QImage& Banner() const { return banner_; }
    /// Where the banner and the instrument indicator are drawn, in window pixels.
    QRect BannerArea() const;
    QRect IndicatorArea() const;

    void RedrawIndicator();
    void RedrawBanner();
    /// Reads a record file into the recording and refreshes the window; `name` is shown in the status line.
    void OpenRecordFile(const QString& path, const QString& name);
    /// Posts a private window message to this window; safe from any thread.
    void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override;
    /// Enables Print exactly when a complete recording with samples is loaded, Save when any samples are,
    /// and neither, nor Open and the unit buttons, while a download runs.
    void UpdatePrintButton();
    /// True while a download runs (asked of the instrument side; false without one).
    bool DownloadRunning() const { return downloadRunning && downloadRunning(); }
    void SetStatusText(const QString& text);

    /// Folder the file dialogs start in: the program's folder when it is writable, else the documents folder.
    static QString DefaultFileFolder();
    static const QString& RecordFileFilter();
    static const QString& WorksheetFilter();
    static const QString& XlsxFilter();

    /// Opens the print preview; called by Print only when a recording with samples is loaded.
    std::function<void(CDeepColdThermivoDlg&)> openPrintDialog;
    /// Exports the summary list and the sample list to a workbook at `path`; unset, worksheets are not saved.
    std::function<bool(CDeepColdThermivoDlg&, const QString& path)> exportWorksheet;
    /// Instrument-side messages (port change, header, status ...) go to the link controller.
    std::function<void(std::uint32_t message, std::int64_t wParam, std::int64_t lParam)> linkMessageHandler;
    /// The instrument search at the end of initialisation, before the command-line file.
    std::function<void(CDeepColdThermivoDlg&)> startInstrumentSearch;
    /// Whether a download runs now.
    std::function<bool()> downloadRunning;

    // Handlers, public so that the link controller and tests can drive them.
    void OnCelsius();
    void OnFahrenheit();
    void OnSaveData();
    void OnOpenFile();
    void OnPrint();
    void OnSysCommand(int id);
    void OnTabSelChange(int index);
    void OnWindowMessage(std::uint32_t message, std::int64_t wParam, std::int64_t lParam);
    /// Exit button, Escape and the window's close box: only Yes to text 130 closes.
    void reject() override;

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    void createControls();
    void applyCaptions();
    void layoutScaling();
    void applyAccessibleNames();
    void applyTabOrder();
    void switchUnit(const std::string& unit);
    void refreshChart();
    void saveCopy();
    bool saveRecordFile(const QString& path);
    bool saveWorksheet(const QString& path);
    void openCommandLineFile();
    void showAbout();

    Recording& rec_;
    QString commandLine_;
    QStringList portPaths_;
    bool simulate_ = false;
    QSize screenSize_;
    bool initialised_ = false;
    float layoutFactor_ = 1.0f;
    QMap<int, QRect> templateRects_;  // dialog units
    QImage banner_;
    QAction* aboutAction_ = nullptr;
    CSummFormView* summView_ = nullptr;
    CHisDataView* chartView_ = nullptr;
    RecordingMutex* recordingMutex_ = nullptr;
    const Recording* saving_ = nullptr;
    QString recordingsFolder_;
    CStatisticsView* statsView_ = nullptr;
    CHistoryView* historyView_ = nullptr;
    HistoryLog* history_ = nullptr;
};

/// The About box: name, version and purpose of the program; it only closes.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace thermivo
