#include "KelvoraThermivoApp.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "Artwork.h"
#include "DeepColdThermivoDlg.h"
#include "InstrumentSide.h"
#include "Prompts.h"
#include "QtTranslations.h"
#include "app/AppSettings.h"
#include "app/SafeSave.h"
#include "export/RecordingExport.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"
#include "print/KvrcPrintDlg.h"

namespace thermivo {

LaunchOptions parseLaunchOptions(const QStringList& args) {
    LaunchOptions o;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!rest.isEmpty()) {
            rest << a;
            continue;
        }
        if (a == QLatin1String("--port") || a == QLatin1String("--screenshot") ||
            a == QLatin1String("--trace")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                o.error = QStringLiteral("%1 needs a path").arg(a);
                return o;
            }
            if (a == QLatin1String("--port"))
                o.portPaths << args[i + 1];
            else if (a == QLatin1String("--trace"))
                o.tracePath = args[i + 1];
            else
                o.screenshotPath = args[i + 1];
            ++i;
        } else if (a.startsWith(QLatin1String("--port="))) {
            o.portPaths << a.mid(7);
        } else if (a.startsWith(QLatin1String("--trace="))) {
            o.tracePath = a.mid(8);
        } else if (a == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--")) {
            rest = args.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            o.error = QStringLiteral("unknown option %1").arg(a);
            return o;
        } else {
            rest << a;
        }
    }
    // The shell split a path with blanks only when it was not quoted; joining restores it.
    o.commandLine = rest.join(QLatin1Char(' '));
    return o;
}

QString launchUsage() {
    return QStringLiteral(
        "Usage: thermivo [--port PATH]... [--simulate] [--trace FILE] [FILE.kvlu]\n"
        "Shows, saves and prints the recordings of the temperature data logger.\n"
        "  --port PATH   also treat this serial device as an instrument port (repeatable)\n"
        "  --simulate    talk to the built-in virtual instrument instead of a real one\n"
        "  --trace FILE  write every frame sent to and received from the instrument to FILE\n"
        "                (\"-\": stderr), to attach to a problem report\n"
        "  FILE.kvlu     a recording to open at start\n"
        "  --help, --version  this text; the version\n");
}

QString launchVersion() {
    return QStringLiteral("thermivo " THERMIVO_VERSION "\n");
}

CKelvoraThermivoApp::CKelvoraThermivoApp(LaunchOptions options) : options_(std::move(options)) {}
CKelvoraThermivoApp::~CKelvoraThermivoApp() = default;

void CKelvoraThermivoApp::ConnectWindow(CDeepColdThermivoDlg& dlg) {
    dlg.openPrintDialog = [](CDeepColdThermivoDlg& window) {
        // The preview runs its own event loop: it shows a copy, so the reader thread is never kept waiting.
        const auto copy = window.SnapshotRecording();
        CKvrcPrintDlg preview(*copy, &window, window.LayoutFactor());
        preview.printed = [&window, &copy](const PrintOutcome& outcome) {
            if (outcome.result == PrintOutcome::Result::Saved) {
                recordFile(window.History(), HistoryEvent::FilePrinted, outcome.target, *copy,
                           {{"to", "pdf"}, {"pages", std::to_string(outcome.pages)}});
            } else if (window.History() != nullptr) {
                window.History()->record(
                    recordingEntry(HistoryEvent::FilePrinted, *copy,
                                   {{"printer", outcome.target}, {"pages", std::to_string(outcome.pages)}}));
            }
            window.RefreshHistory();
        };
        preview.exec();
    };
    dlg.exportWorksheet = [](CDeepColdThermivoDlg& window, const QString& path) {
        ExportHooks hooks;
        hooks.showMessage = [&window](const std::string& m) {
            prompts().message(&window, QString::fromStdString(m));
        };
        const ExportResult r = exportRecordingToWorkbook(window.RecordingToSave(), path.toStdString(), hooks);
        // A workbook error (a worksheet that exists already, an unreadable file, a full disk) is shown in
        // the user's language, not swallowed; a missing driver has said so already.
        if (!r.error.empty())
            prompts().message(&window, QString::fromStdString(saveProblemMessage(r.problem, r.error)));
        return r.ok && r.error.empty();
    };
}

int CKelvoraThermivoApp::InitInstance() {
    // Language and unit texts first: every text of the run, the recording's labels included, depends on them.
    AppSettings::instance().initFromSystem();
    installQtTranslations(QLocale::system());
    recording_ = std::make_unique<Recording>();
    QApplication::setWindowIcon(appIcon());

    CDeepColdThermivoDlg dlg(*recording_);
    HistoryLog history(HistoryLog::defaultPath(), "thermivo " THERMIVO_VERSION);
    // Told after the action that could not be recorded has finished, never from inside it.
    history.setFailureNotice([&dlg](const std::string& m) {
        QTimer::singleShot(0, &dlg,
                           [&dlg, text = QString::fromStdString(m)] { prompts().message(&dlg, text); });
    });
    dlg.SetHistory(&history);
    dlg.SetCommandLine(options_.commandLine);
    dlg.SetLinkOptions(options_.portPaths, options_.simulate);
    ConnectWindow(dlg);
    InstrumentSide instrument(dlg, *recording_, options_.portPaths, options_.simulate);
    instrument.controller().setHistory(&history);
    if (!options_.tracePath.isEmpty()) {
        std::string error;
        if (!instrument.startTrace(options_.tracePath.toStdString(), error)) {
            std::fprintf(stderr, "thermivo: --trace %s\n", error.c_str());
            return 1;
        }
    }

    if (!options_.screenshotPath.isEmpty()) {
        const QString path = options_.screenshotPath;
        QTimer::singleShot(700, &dlg, [&dlg, path] {
            dlg.grab().save(path);
            dlg.done(QDialog::Accepted);
        });
    }
    dlg.DoModal();
    return 0;
}

}  // namespace thermivo
