#pragma once
#include <string>
#include <vector>

namespace thermivo {

/// Control ids of the main window that the instrument side touches.
enum LinkControlId : int {
    IDC_CELSIUS = 1002,
    IDC_FAHRENHEIT = 1003,
    IDC_DOWNLOAD = 1004,
    IDC_SAVE = 1005,
    IDC_OPEN = 1006,
    IDC_PRINT = 1007,
    IDC_DOWNLOAD_BAR = 1015,
    IDC_STATUS = 1019,
    IDC_MINUTES = 1126,
    IDC_CALIBRATION = 1129,
    IDC_CLOCK_TEXT = 1134,
    IDC_DATA_BAR = 1137,
    IDC_LINK_BAR = 1138,
    IDC_CONNECT = 1139,
    IDC_BATTERY_BAR = 1141,
    IDC_START_RECORD = 1142,
    IDC_MINUTES_LABEL = 1143,
    IDC_MINUTES_FRAME = 1145,
};

/// Timers of the main window that drive the link.
enum LinkTimerId : int {
    TIMER_REPLY = 4,
    TIMER_DOWNLOAD = 5,
    TIMER_POLL = 6,
};

/// What the link controller needs from the main window. Everything runs on the user-interface thread,
/// except setTextFromAnyThread, which the device-notification routine calls from the watcher thread.
class LinkView {
  public:
    virtual ~LinkView() = default;
    virtual void setText(int controlId, const std::string& text) = 0;
    /// Must be safe from any thread: the text is applied on the user-interface thread, in posting order.
    virtual void setTextFromAnyThread(int controlId, const std::string& text) = 0;
    virtual std::string text(int controlId) const = 0;
    virtual void setEnabled(int controlId, bool enabled) = 0;
    virtual void setShown(int controlId, bool shown) = 0;
    virtual void setProgress(int controlId, int position) = 0;
    /// (Re)starts a periodic timer.
    virtual void startTimer(int timerId, int milliseconds) = 0;
    virtual void stopTimer(int timerId) = 0;
    /// A Yes/No question; only Yes returns true.
    virtual bool askYesNo(const std::string& question) = 0;
    /// The battery indicator and the window's bitmap.
    virtual void redrawIndicator() = 0;
    virtual void showHumidityRows(bool shown) = 0;
    virtual void refreshSummary(bool dataPresent) = 0;
    virtual void refreshChart() = 0;
    /// A control's tooltip (the status line's tells where a download was kept).
    virtual void setToolTip(int /*controlId*/, const std::string& /*text*/) {}
    /// A message box with OK (the window) or a line on the error stream (the command line).
    virtual void showMessage(const std::string& /*text*/) {}
    /// A Yes/No question about losing data: its default answer is No. Only Yes returns true.
    virtual bool askYesNoDefaultNo(const std::string& question) { return askYesNo(question); }
};

/// Where the bridge ports are: the controller asks it which ports exist and which are bridges.
class PortDirectory {
  public:
    virtual ~PortDirectory() = default;
    /// Numbers (1..256) of the bridge ports attached now, ascending.
    virtual std::vector<int> bridgePorts() = 0;
    /// Device path of port n ("" when unknown).
    virtual std::string pathOf(int n) = 0;
};

}  // namespace thermivo
