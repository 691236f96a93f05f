#include "DialogLinkView.h"
#include "QtText.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <algorithm>

#include "DeepColdThermivoDlg.h"
#include "FittedText.h"
#include "HisDataView.h"
#include "Prompts.h"
#include "StatisticsView.h"
#include "SummFormView.h"
#include "link/LinkController.h"

namespace thermivo {

DialogLinkView::DialogLinkView(CDeepColdThermivoDlg& dlg) : QObject(&dlg), dlg_(dlg) {}
DialogLinkView::~DialogLinkView() = default;

void DialogLinkView::setText(int controlId, const std::string& t) {
    if (controlId == IDC_STATUS) {
        dlg_.SetStatusText(qs(t));
        return;
    }
    QWidget* w = dlg_.Control(controlId);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(qs(t));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(qs(t));
        // The connect button's name says what it is; its caption, the link state, is what a screen reader
        // reads after the name.
        if (auto* fitted = qobject_cast<FittedButton*>(button); fitted != nullptr && controlId == IDC_CONNECT)
            fitted->setAccessibleDescription(
                fitted->shownText().replace(QLatin1Char('\n'), QLatin1Char(' ')));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(qs(t));
    }
}

void DialogLinkView::setTextFromAnyThread(int controlId, const std::string& t) {
    // Widgets belong to the user-interface thread; a queued call keeps the order of posted messages.
    QMetaObject::invokeMethod(
        this, [this, controlId, t] { setText(controlId, t); }, Qt::QueuedConnection);
}

std::string DialogLinkView::text(int controlId) const {
    QWidget* w = dlg_.Control(controlId);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
    return {};
}

void DialogLinkView::setEnabled(int controlId, bool enabled) {
    // The file buttons follow the window's own rule (a loaded recording, no download running) whatever the
    // link says.
    const bool fileButton = controlId == IDC_PRINT || controlId == IDC_SAVE || controlId == IDC_OPEN ||
                            controlId == IDC_CELSIUS || controlId == IDC_FAHRENHEIT;
    if (fileButton && enabled) {
        dlg_.UpdatePrintButton();
        return;
    }
    if (QWidget* w = dlg_.Control(controlId)) w->setEnabled(enabled);
}

void DialogLinkView::setShown(int controlId, bool shown) {
    if (QWidget* w = dlg_.Control(controlId)) w->setVisible(shown);
}

void DialogLinkView::setProgress(int controlId, int position) {
    if (auto* bar = qobject_cast<QProgressBar*>(dlg_.Control(controlId)))
        bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

void DialogLinkView::startTimer(int timerId, int milliseconds) {
    auto& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, this, [this, timerId] {
            if (controller_ != nullptr) controller_->onTimer(timerId);
        });
    }
    timer->start(milliseconds);
}

void DialogLinkView::stopTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it != timers_.end()) it->second->stop();
}

bool DialogLinkView::timerRunning(int timerId) const {
    const auto it = timers_.find(timerId);
    return it != timers_.end() && it->second->isActive();
}

bool DialogLinkView::askYesNo(const std::string& question) {
    return prompts().askYesNo(&dlg_, qs(question));
}

// The window's Yes/No box already has No as its default button.
bool DialogLinkView::askYesNoDefaultNo(const std::string& question) {
    return askYesNo(question);
}

void DialogLinkView::showMessage(const std::string& t) {
    prompts().message(&dlg_, qs(t));
}

void DialogLinkView::setToolTip(int controlId, const std::string& t) {
    if (QWidget* w = dlg_.Control(controlId)) w->setToolTip(qs(t));
}

void DialogLinkView::redrawIndicator() {
    dlg_.RedrawIndicator();
    dlg_.RedrawBanner();
}

void DialogLinkView::showHumidityRows(bool) {
    dlg_.SummaryView()->ShowHumidityRows();
}

void DialogLinkView::refreshSummary(bool dataPresent) {
    dlg_.SummaryView()->RefreshSummary(dataPresent);
}

void DialogLinkView::refreshChart() {
    dlg_.ChartView()->RefreshChart();
    if (dlg_.StatisticsView() != nullptr) dlg_.StatisticsView()->Refresh();
    dlg_.UpdatePrintButton();
}

}  // namespace thermivo
