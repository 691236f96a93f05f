#pragma once
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <cstdint>
#include <functional>

#include "print/PageRender.h"
#include "print/PrintJob.h"
#include "print/PrintOutcome.h"

class QDateTimeEdit;
class QPageSize;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPrintDialog;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QToolButton;

namespace thermivo {

class PrintPreviewFrame;

/// The print preview dialog: choose curve or text pages and a time range, page through the preview,
/// print every page through the platform's print dialog. Reads the recording, never changes it.
class CKvrcPrintDlg : public QDialog {
    Q_OBJECT
  public:
    /// Control ids; each widget carries its id as its object name. Ids belong to their dialog: this Print
    /// button is not the main window's IDC_PRINT, which Clang's -Wshadow would otherwise report.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wshadow"
#endif
    enum ControlId : int {
        IDC_EXIT = 1,
        IDC_PREVIEW = 1093,
        IDC_PAGES = 1094,
        IDC_PAGES_SPIN = 1095,
        IDC_CURVER = 1096,
        IDC_TEXT = 1097,
        IDC_START = 1098,
        IDC_END = 1099,
        IDC_PRINT = 1100,
        IDC_FIRST = 1101,
        IDC_PREV = 1102,
        IDC_NEXT = 1103,
        IDC_LAST = 1104,
        IDC_SETTINGS_GROUP = 1105,
        IDC_SCROLL = 1106,
        IDC_COUNTER = 1107,
        IDC_FRAME = 1108,
        IDC_PAGES_LABEL = 1109,
        IDC_START_LABEL = 1110,
        IDC_END_LABEL = 1111,
        IDC_MODE_GROUP = 1132,
        IDC_PRINT_STATUS = 1112,  ///< what became of the last Print
    };
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

    /// Builds and lays out the dialog for `rec` (which must outlive it), scaled by the main window's factor,
    /// and shows curve page 1 when the recording's range holds samples. Run it with exec().
    explicit CKvrcPrintDlg(const Recording& rec, QWidget* parent = nullptr, float layoutFactor = 1.0f);
    ~CKvrcPrintDlg() override;

    /// Selects the samples of [start, end]; shows "Time set wrong!" and keeps the selection when inverted.
    bool SelectRange(std::int64_t start, std::int64_t end);
    /// Draws page `page` of the current mode into the page image and shows it in the frame.
    void RenderPreviewPage(int page);

    // State, for the main window's tests and our own.
    PrintMode outputMode() const {
        return outputMode_;
    }
    int currentPage() const {
        return currentPage_;
    }
    int pageTotal() const {
        return pageTotal_;
    }
    int curvePageTotal() const {
        return curvePageTotal_;
    }
    bool previewShown() const {
        return previewShown_;
    }
    bool rangeReady() const {
        return rangeReady_;
    }
    bool startInvalid() const {
        return startInvalid_;
    }
    bool endInvalid() const {
        return endInvalid_;
    }
    int scrollY() const {
        return scrollY_;
    }
    int wheelOverscroll() const {
        return wheelOverscroll_;
    }
    int screenPlotPixels() const {
        return job_.screenPlotPixels;
    }
    const Selection& selection() const {
        return job_.selection;
    }
    const PrintJob& printJob() const {
        return job_;
    }
    /// The page image of the last render (design size at the frame's resolution, in device pixels).
    const QImage& pageImage() const {
        return pageImage_;
    }
    /// The greatest scroll offset of a text page in the preview.
    int maxScroll() const;
    float layoutFactor() const {
        return layoutFactor_;
    }
    /// What the last Print did, as told to the user ("" before the first one).
    const QString& printStatus() const {
        return printStatus_;
    }

    /// Told of every printout that was sent or saved as a PDF.
    std::function<void(const PrintOutcome&)> printed;

  protected:
    /// Runs the platform's print dialog on `printer`; false when the user cancels. Tests replace it.
    virtual bool execPrintDialog(QPrinter& printer);
    /// Names of the installed print queues. Tests replace it.
    virtual QStringList availablePrinters() const;
    /// Whether the print service answers (an empty queue list then means no printer is installed). Tests
    /// replace it.
    virtual bool printServiceAnswers() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    friend class PrintPreviewFrame;

    void createControls();
    void setCaptions();
    void applyLayout();
    void initialise();
    void paintPreview(QPainter& painter);
    void updateNavButtons();
    void showCounter(bool longPad);
    void setPrintControlsEnabled(bool enabled);
    void wheelNotches(int notches);
    std::int64_t pickerStart() const;
    std::int64_t pickerEnd() const;
    void setPickers(std::int64_t start, std::int64_t end);

    void onPreview();
    void onCurver();
    void onText();
    void onFirst();
    void onPrevious();
    void onNext();
    void onLast();
    void onPrint();
    PrintOutcome printOnPrinter();
    PrintOutcome offerPdfInstead();
    /// Runs a printout in slices with a progress dialog that can stop it.
    PrintOutcome withProgress(bool toFile, const std::function<PrintOutcome(const PageProgress&)>& run);
    void report(const PrintOutcome& outcome, bool toldAlready = false);
    void onStartChanged();
    void onEndChanged();
    void onPagesEdited();
    void onScrollValue(int value);
    void onSpin(int delta);
    void fitPagesFont();
    void showPage(int page);

    const Recording& rec_;
    float layoutFactor_;
    PrintJob job_;
    PrintMode outputMode_ = PrintMode::Curve;
    int currentPage_ = 1;
    int pageTotal_ = 1;
    int curvePageTotal_ = 1;
    bool previewShown_ = false;
    bool rangeReady_ = false;
    bool startInvalid_ = false;
    bool endInvalid_ = false;
    int wheelOverscroll_ = 0;
    int wheelRemainder_ = 0;
    int scrollY_ = 0;
    QString printStatus_;
    QImage pageImage_;
    QImage scaled_;  ///< the part of the page shown, scaled to the frame
    qint64 scaledKey_ = 0;
    QRect scaledFrom_;

    PrintPreviewFrame* frame_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* counter_ = nullptr;
    QPushButton *first_ = nullptr, *previous_ = nullptr, *next_ = nullptr, *last_ = nullptr;
    QGroupBox* settingsGroup_ = nullptr;
    QPushButton* preview_ = nullptr;
    QLabel* pagesLabel_ = nullptr;
    QLineEdit* pages_ = nullptr;
    QWidget* spin_ = nullptr;
    QToolButton *spinUp_ = nullptr, *spinDown_ = nullptr;
    QGroupBox* modeGroup_ = nullptr;
    QRadioButton *curver_ = nullptr, *text_ = nullptr;
    QLabel *startLabel_ = nullptr, *endLabel_ = nullptr;
    QDateTimeEdit *start_ = nullptr, *end_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* exit_ = nullptr;
    QLabel* status_ = nullptr;
};

/// The four navigation icons (first, previous, next, last), drawn black on a transparent square.
QIcon navigationIcon(int controlId, int size);

/// Runs the platform's print dialog on `printer` so that it keeps `paper` (when valid) unless the user
/// chooses another in the dialog's properties; false when the user cancels.
bool execKeepingPaper(QPrintDialog& dialog, QPrinter& printer, const QPageSize& paper);

/// Hides the page choices of the platform's print dialog: every page of a printout is printed.
void hidePageChoices(QPrintDialog& dialog);

}  // namespace thermivo
