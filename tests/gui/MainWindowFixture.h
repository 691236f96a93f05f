#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "ControlIds.h"
#include "DeepColdThermivoDlg.h"
#include "ScriptedPrompts.h"
#include "SummFormView.h"
#include "TestSupport.h"
#include "app/UiText.h"
#include "data/RecordFile.h"

namespace thermivo::testing {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

/// Points XDG_DATA_HOME at a folder of the test, so kept downloads never land in the user's data folder.
class ScopedDataHome {
  public:
    explicit ScopedDataHome(const std::filesystem::path& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME")) previous_ = old, had_ = true;
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~ScopedDataHome() {
        if (had_)
            setenv("XDG_DATA_HOME", previous_.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

  private:
    std::string previous_;
    bool had_ = false;
};

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
    /// A cold-chain trip for pictures: a fridge cycling between 3 and 6 degrees, one warm excursion at a
    /// door opening, and the humidity following it.
    std::string writeDemoRecordFile(const std::string& name, int samples = 2016) {
        auto rec = makeRecording(KindTempHumi, samples, 1764576000, 300);
        float tMax = -1e9f, tMin = 1e9f, hMax = -1e9f, hMin = 1e9f;
        double tSum = 0, hSum = 0;
        for (int i = 0; i < samples; ++i) {
            const auto k = static_cast<std::size_t>(i);
            double t = 4.6 + 1.1 * std::sin(i / 47.0) + 0.35 * std::sin(i / 6.3) + 0.4 * std::sin(i / 301.0);
            if (i > samples * 6 / 10 && i < samples * 6 / 10 + 40)
                t += 4.6 * std::sin((i - samples * 6 / 10) * M_PI / 40);
            const double h = 58 + 6 * std::sin(i / 40.0) + (t - 4.5) * 1.5;
            rec->temperature[k] = static_cast<float>(std::round(t * 10) / 10);
            rec->humidity[k] = static_cast<float>(std::round(h * 10) / 10);
            tMax = std::max(tMax, rec->temperature[k]);
            tMin = std::min(tMin, rec->temperature[k]);
            hMax = std::max(hMax, rec->humidity[k]);
            hMin = std::min(hMin, rec->humidity[k]);
            tSum += rec->temperature[k];
            hSum += rec->humidity[k];
        }
        rec->tempMax = tMax;
        rec->tempMin = tMin;
        rec->tempAvg = static_cast<float>(tSum / samples);
        rec->humiMax = hMax;
        rec->humiMin = hMin;
        rec->humiAvg = static_cast<float>(hSum / samples);
        rec->description() = "Cold room trip 12";
        const std::string path = dir_.file(name);
        RecordFile file(path, RecordFile::ModeWrite);
        EXPECT_TRUE(file.isOpen() && file.write(*rec)) << file.error();
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
    static QString value(const CDeepColdThermivoDlg& dlg, int row) {
        return dlg.SummaryView()->Value(row)->text();
    }

    ScopedTimeZone tz_{"UTC"};
    ScriptedPrompts prompts_;
    TempDir dir_;
    ScopedDataHome dataHome_{dir_.path() / "data"};
    std::unique_ptr<Recording> rec_ = std::make_unique<Recording>();
};

}  // namespace thermivo::testing
