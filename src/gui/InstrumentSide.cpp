#include "InstrumentSide.h"

#include <QPushButton>

#include "DeepColdThermivoDlg.h"
#include "DialogLinkView.h"
#include "app/AppSettings.h"
#include "data/LocalTime.h"
#include "sim/PtyInstrument.h"

namespace thermivo {

namespace {

// Ten days of five-minute samples: long enough that the download bar is worth watching at line speed.
SimConfig demoInstrument() {
    SimConfig c;
    c.serial = "DI202612001";
    c.samples = simulatedCurve(2880, 2026);
    c.intervalMinutes = 5;
    c.start = nowSeconds() - 2880 * 5 * 60;
    c.state = 1;
    return c;
}

QString demoTitleSuffix() {
    return AppSettings::instance().languageId == kLanguageChinesePrc
               ? QString::fromUtf8(" — 演示（虚拟记录仪）")
               : QStringLiteral(" — demo (virtual instrument)");
}

}  // namespace

InstrumentSide::InstrumentSide(CDeepColdThermivoDlg& dlg, Recording& rec, const QStringList& portPaths,
                               bool simulate)
    : dlg_(dlg),
      store_(RecordingStore::defaultRoot()),
      link_(rec, dlg),
      view_(new DialogLinkView(dlg)),
      controller_(link_, *view_, ports_) {
    view_->setController(&controller_);
    controller_.setRecordingStore(&store_);
    // The window reads the recording under the lock the reader thread decodes under, and locks its file
    // buttons while a download runs.
    dlg.SetRecordingMutex(&link_.recordingMutex());
    dlg.SetRecordingsFolder(QString::fromStdString(store_.root()));
    dlg.downloadRunning = [this] { return controller_.downloadBusy(); };
    ports_.addPortsFromEnvironment();
    for (const QString& path : portPaths) ports_.addExplicitPort(path.toStdString());
    if (simulate) {
        // Paced like the real line, so the demo shows the download as a user would see it.
        simulator_ = std::make_unique<PtyInstrument>(demoInstrument(), false);
        if (simulator_->start()) {
            ports_.addExplicitPort(simulator_->path());
        } else {
            simulator_.reset();
        }
    }

    auto click = [&dlg](int id, auto handler) {
        if (auto* button = qobject_cast<QPushButton*>(dlg.Control(id)))
            QObject::connect(button, &QPushButton::clicked, &dlg, handler);
    };
    click(IDC_DOWNLOAD, [this] { controller_.onDownloadClicked(); });
    click(IDC_CALIBRATION, [this] { controller_.onCalibrationClicked(); });
    click(IDC_START_RECORD, [this] { controller_.onStartRecordClicked(); });
    click(IDC_CONNECT, [this] { controller_.onConnectClicked(); });
    dlg.linkMessageHandler = [this](std::uint32_t m, std::int64_t w, std::int64_t l) {
        controller_.onMessage(m, w, l);
    };
    dlg.startInstrumentSearch = [this](CDeepColdThermivoDlg&) { startSearch(); };
}

InstrumentSide::~InstrumentSide() {
    ports_.stopWatching();
    dlg_.linkMessageHandler = nullptr;
    dlg_.startInstrumentSearch = nullptr;
    dlg_.downloadRunning = nullptr;
    dlg_.SetRecordingMutex(nullptr);
    view_->setController(nullptr);
    link_.closePort();
    link_.setTrace(nullptr);
    if (simulator_) simulator_->stop();
}

bool InstrumentSide::startTrace(const std::string& path, std::string& error) {
    if (!trace_.open(path)) {
        error = trace_.error();
        return false;
    }
    trace_.note("thermivo" + std::string(simulated() ? ", demo instrument " + simulator_->path() : ""));
    link_.setTrace(&trace_);
    return true;
}

void InstrumentSide::startSearch() {
    if (simulated()) dlg_.setWindowTitle(dlg_.windowTitle() + demoTitleSuffix());
    controller_.startupSearch();
    ports_.startWatching([this](int value) { controller_.deviceNotification(value); });
}

std::string InstrumentSide::simulatorPath() const {
    return simulator_ ? simulator_->path() : std::string();
}

}  // namespace thermivo
