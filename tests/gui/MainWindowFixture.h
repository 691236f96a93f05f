#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <memory>

#include "ControlIds.h"
#include "DeepColdThermivoDlg.h"
#include "ScriptedPrompts.h"
#include "SummFormView.h"
#include "TestSupport.h"
#include "app/UiText.h"
#include "data/RecordFile.h"

namespace thermivo::testing {

inline QString qs(const std::string& s) { return QString::fromStdString(s); }

/// A main window on a recording of its own, dialogs answered by script, files in a temporary folder.
class MainWindowFixture : public ::testing::Test {
protected:
    std::unique_ptr<CDeepColdThermivoDlg> makeWindow(const QString& commandLine = {},
                                                      const QSize& screen = QSize(1280, 800)) {
        auto dlg = std::make_unique<CDeepColdThermivoDlg>(*rec_);
        dlg->SetScreenSize(screen);
        dlg->SetCommandLine(commandLine);
        dlg->OnInitDialog();
        QApplication::sendPostedEvents();
        return dlg;
    }
    /// A record file written from a generated recording of the given kind.
    std::string writeRecordFile(const std::string& name, std::int32_t kind, int samples) {
        auto source = makeRecording(kind, samples);
        const std::string path = dir_.file(name);
        RecordFile file(path, RecordFile::ModeWrite);
        EXPECT_TRUE(file.isOpen() && file.write(*source)) << file.error();
        return path;
    }
    static QString status(const CDeepColdThermivoDlg& dlg) {
        return static_cast<QLabel*>(dlg.Control(IDC_STATUS))->text();
    }
    static QString caption(const CDeepColdThermivoDlg& dlg, int id) {
        if (auto* b = qobject_cast<QAbstractButton*>(dlg.Control(id))) return b->text();
        if (auto* l = qobject_cast<QLabel*>(dlg.Control(id))) return l->text();
        return {};
    }
    static int bar(const CDeepColdThermivoDlg& dlg, int id) {
        return static_cast<QProgressBar*>(dlg.Control(id))->value();
    }
    static QString value(const CDeepColdThermivoDlg& dlg, int row) { return dlg.SummaryView()->Value(row)->text(); }

    ScopedTimeZone tz_{"UTC"};
    ScriptedPrompts prompts_;
    TempDir dir_;
    std::unique_ptr<Recording> rec_ = std::make_unique<Recording>();
};

}  // namespace thermivo::testing
