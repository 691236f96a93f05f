#pragma once
#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "chart/ChartGeometry.h"
#include "data/RecordingLock.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTableView;

namespace thermivo {

struct Recording;
class ChartLegend;
class SampleListModel;

/// The chart page of the main window's tab: the temperature curve drawn off-screen and copied in one piece,
/// zoom buttons, a trackbar that pans, automatic scaling, a click cursor with its readout, and a virtual
/// list of every sample. It only reads the recording.
class CHisDataView : public QWidget {
    Q_OBJECT
  public:
    /// Controls of the view; each widget carries its id as object name ("1081").
    enum ControlId : int {
        IDC_TEMP_SWITCH = 1028,  ///< hidden check box: the temperature curve is shown
        IDC_READOUT = 1030,      ///< read-only line: the sample under the cursor
        IDC_TRACKBAR = 1032,     ///< pan: its position is the first visible sample
        IDC_ZOOM_IN = 1033,
        IDC_ZOOM_OUT = 1034,
        IDC_AUTOSCALE = 1035,    ///< "Scaling data coordinate"
        IDC_UNIT_TEXT = 1036,    ///< current temperature unit
        IDC_SAMPLE_LIST = 1081,  ///< virtual list of all samples
        IDC_HUMI_SWITCH = 1037,  ///< shows or hides the humidity curve of a kind-4 recording
    };

    CHisDataView(QWidget* parent, Recording& recording);
    /// The lock the reader thread takes while it decodes into the recording; painting takes it too.
    void SetRecordingMutex(RecordingMutex* mutex);
    ~CHisDataView() override;

    /// The recording or the unit changed: back to the whole recording, redrawn, list rebuilt.
    void RefreshChart();
    /// Rebuilds the side list's columns and sets its item count to the loaded samples.
    void ResetSampleList();
    /// Scales the controls about their centres and the chart constants by factor. originX/originY are the
    /// screen coordinates of the view's top-left corner before the main window resized it. The factor is
    /// relative to the template layout, so calling it again with another factor does not compound.
    void RescaleLayout(float factor, int originX, int originY);

    /// Moves the view so that `sample` lies in the visible part, a quarter in from the left at the current
    /// zoom, and puts the cursor on the curve point nearest to it.
    void JumpToSample(int sample);

    /// Extent of the view's controls at layout factor 1, in pixels: the size the main window should give it.
    static QSize templateSize();
    /// A rectangle of the dialog template (dialog units) in pixels at layout factor 1.
    static QRect dialogUnitsToPixels(int x, int y, int width, int height);
    QSize sizeHint() const override;

    float layoutScale() const { return layout_.scale; }
    /// The widget of a control id, or nullptr.
    QWidget* control(ControlId id) const;
    /// The off-screen chart bitmap as last drawn.
    const QImage& chartImage() const { return image_; }
    /// Where the chart bitmap is copied in the view.
    QPoint chartOrigin() const;
    const ChartGeometry& chartGeometry() const { return geometry_; }
    const ChartViewState& viewState() const { return state_; }
    /// The line under the chart that explains the alarm lines and the list's "*".
    ChartLegend* legend() const { return legend_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void OnZoomIn();
    void OnZoomOut();
    void OnAutoScale();
    void OnHScroll(int position);
    void OnHumiditySwitch();

    /// Draws the chart and updates the readout at once, then has the window copy the new bitmap.
    void redraw();
    void renderChart();
    void updateReadout();
    void applyColumnWidths();
    void applyZoomIcons();
    void fitLegend();

    const Recording& recording_;
    RecordingMutex* recordingMutex_ = nullptr;
    ChartLayout layout_;
    ChartGeometry geometry_;
    ChartViewState state_;
    QImage image_;
    QFont controlFont_;
    QRect legendRect_;  ///< the legend's place in the layout, before it is fitted to the page's height
    QFont listFont_;    ///< the layout's size without the floor for Chinese characters: the list shows digits

    QCheckBox* tempSwitch_ = nullptr;
    QLineEdit* readout_ = nullptr;
    QLabel* unitText_ = nullptr;
    QSlider* trackbar_ = nullptr;
    QPushButton* zoomIn_ = nullptr;
    QPushButton* zoomOut_ = nullptr;
    QCheckBox* autoScale_ = nullptr;
    QCheckBox* humiSwitch_ = nullptr;
    QTableView* list_ = nullptr;
    SampleListModel* model_ = nullptr;
    ChartLegend* legend_ = nullptr;
    int listColumns_ = 0;
};

}  // namespace thermivo
