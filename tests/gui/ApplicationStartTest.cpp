#include <QFile>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "KelvoraThermivoApp.h"
#include "MainWindowFixture.h"
#include "print/KvrcPrintDlg.h"

namespace thermivo::testing {
namespace {

// Sets one environment variable for the life of the object (unset when value is null).
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, previous_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string previous_;
    bool had_ = false;
};

using ApplicationStart = MainWindowFixture;

// The whole start-up: the system language decides texts and unit, the window runs, the command-line file is
// open by the time the window shows, and the hidden picture option leaves without the exit question.
TEST_F(ApplicationStart, LanguageFromTheSystemAndCommandLineFile) {
    const std::string file = writeRecordFile("start.kvlu", KindTempHumi, 30);
    struct Case {
        const char* lang;
        std::uint16_t id;
        const char* unit;
        const char* serialLabel;
    };
    for (const Case& c : {Case{"zh_CN.UTF-8", kLanguageChinesePrc, "\u00B0C", " ID序列号:"},
                          Case{"zh_TW.UTF-8", 1028, "\u00B0F", " Serial Number:"},
                          Case{"en_US.UTF-8", kLanguageEnglishUs, "\u00B0F", " Serial Number:"}}) {
        ScopedEnv lcAll("LC_ALL", nullptr);
        ScopedEnv lcMessages("LC_MESSAGES", nullptr);
        ScopedEnv lang("LANG", c.lang);
        LaunchOptions options;
        options.commandLine = qs(file);
        options.screenshotPath = QString(THERMIVO_BINARY_DIR "/start_%1.png").arg(c.id);
        QFile::remove(options.screenshotPath);
        CKelvoraThermivoApp app(options);
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_TRUE(prompts_.questions.isEmpty());
        EXPECT_EQ(AppSettings::instance().languageId, c.id) << c.lang;
        EXPECT_EQ(AppSettings::instance().currentUnit, c.unit) << c.lang;
        EXPECT_EQ(app.GetRecording().labels[0], c.serialLabel) << c.lang;
        EXPECT_EQ(app.GetRecording().samplesLoaded, 30) << c.lang;
        EXPECT_FALSE(QImage(options.screenshotPath).isNull()) << c.lang;
    }
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
}

TEST_F(ApplicationStart, PrintOpensThePreviewOfTheLoadedRecording) {
    auto dlg = makeWindow();
    CKelvoraThermivoApp::ConnectWindow(*dlg);
    dlg->OpenRecordFile(qs(writeRecordFile("print.kvlu", KindTemp, 50)), "print.kvlu");
    QString opened;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<CKvrcPrintDlg*>(QApplication::activeModalWidget())) {
            opened = preview->metaObject()->className();
            preview->reject();
        }
    });
    QTest::mouseClick(dlg->Control(IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(opened, "thermivo::CKvrcPrintDlg");
}

}  // namespace
}  // namespace thermivo::testing
