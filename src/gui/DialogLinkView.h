#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>

#include "link/LinkView.h"

namespace thermivo {

class CDeepColdThermivoDlg;
class LinkController;

/// The main window as the link controller sees it: controls by id, the three link timers, the Yes/No box
/// and the views' refreshes. Timer ticks go to the controller set with setController().
class DialogLinkView : public QObject, public LinkView {
    Q_OBJECT
  public:
    explicit DialogLinkView(CDeepColdThermivoDlg& dlg);
    ~DialogLinkView() override;

    void setController(LinkController* controller) { controller_ = controller; }

    void setText(int controlId, const std::string& text) override;
    void setTextFromAnyThread(int controlId, const std::string& text) override;
    std::string text(int controlId) const override;
    void setEnabled(int controlId, bool enabled) override;
    void setShown(int controlId, bool shown) override;
    void setProgress(int controlId, int position) override;
    void startTimer(int timerId, int milliseconds) override;
    void stopTimer(int timerId) override;
    bool askYesNo(const std::string& question) override;
    void redrawIndicator() override;
    void showHumidityRows(bool shown) override;
    void refreshSummary(bool dataPresent) override;
    void refreshChart() override;
    void setToolTip(int controlId, const std::string& text) override;
    void showMessage(const std::string& text) override;
    bool askYesNoDefaultNo(const std::string& question) override;

    /// True while the link timer with this id runs (for tests).
    bool timerRunning(int timerId) const;

  private:
    CDeepColdThermivoDlg& dlg_;
    LinkController* controller_ = nullptr;
    std::map<int, std::unique_ptr<QTimer>> timers_;
};

}  // namespace thermivo
