#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "data/Recording.h"

namespace thermivo {

class CDeepColdThermivoDlg;

/// What the shell passed to the program: options first, then the data file to open.
struct LaunchOptions {
    QStringList portPaths;   ///< --port PATH, repeatable: serial devices to treat as instrument ports
    bool simulate = false;   ///< --simulate: talk to the built-in virtual instrument
    QString commandLine;     ///< what remains, joined by blanks: a *.kvlu file to open at start
    QString screenshotPath;  ///< --screenshot PATH: save a picture of the window once shown, then leave
    QString tracePath;       ///< --trace FILE: every frame to and from the instrument, for a problem report
    bool help = false;
    QString error;  ///< not empty when the arguments are unusable
};

/// Splits the arguments (without the program name) into options and the command line.
LaunchOptions parseLaunchOptions(const QStringList& args);
/// The usage text of `thermivo --help`.
QString launchUsage();
/// "thermivo VERSION", the answer to `thermivo --version`.
QString launchVersion();

/// The application object: fixes the language and the unit texts, owns the recording, and runs the main
/// window modally; the program ends when that window closes.
class CKelvoraThermivoApp {
  public:
    explicit CKelvoraThermivoApp(LaunchOptions options);
    ~CKelvoraThermivoApp();

    /// Start-up in order, then the main window's modal run; returns the process exit code.
    int InitInstance();

    /// Connects the window to the parts it calls on: the print preview and the workbook export.
    static void ConnectWindow(CDeepColdThermivoDlg& dlg);

    Recording& GetRecording() { return *recording_; }
    const LaunchOptions& Options() const { return options_; }

  private:
    LaunchOptions options_;
    std::unique_ptr<Recording> recording_;
};

}  // namespace thermivo
