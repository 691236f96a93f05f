#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>

#include "HistoryView.h"
#include "MainWindowFixture.h"
#include "app/Sha256.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

namespace thermivo::testing {
namespace {

class HistoryTab : public MainWindowFixture {
  protected:
    /// A kept original of the demo trip with the row its download left, as the window's download does.
    std::string keepOriginal() {
        const std::string source = writeDemoRecordFile("trip.kvlu");
        auto rec = std::make_unique<Recording>();
        RecordFile file(source, RecordFile::ModeRead);
        EXPECT_TRUE(file.read(*rec)) << file.error();
        const RecordingStore::Kept kept = store_.keep(*rec);
        EXPECT_TRUE(kept.ok) << kept.error;
        HistoryEntry entry = downloadEntry(HistoryEvent::DownloadComplete, *rec);
        entry.fileSha256 = sha256HexOfFile(kept.path).value_or("");
        EXPECT_TRUE(history_.record(entry));
        return kept.path;
    }
    std::unique_ptr<CDeepColdThermivoDlg> historyWindow() {
        auto dlg = makeWindow();
        dlg->SetHistory(&history_);
        dlg->SetRecordingsFolder(qs(store_.root()));
        return dlg;
    }
    static void shot(CDeepColdThermivoDlg& dlg, const QString& name) {
        const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/screenshots");
        std::filesystem::create_directories(dir.toStdString());
        dlg.grab().save(dir + QLatin1Char('/') + name);
    }

    RecordingStore store_{(dir_.path() / "data" / "thermivo" / "recordings").string()};
    HistoryLog history_{(dir_.path() / "data" / "thermivo" / "history.sqlite").string(), "thermivo test"};
};

TEST_F(HistoryTab, OpenSaveAndAnEditedCopyAreRecordedListedAndTold) {
    ScopedLanguage english(kLanguageEnglishUs);
    const std::string original = keepOriginal();
    auto dlg = historyWindow();
    EXPECT_EQ(dlg->Tab()->tabText(2), "History");

    dlg->OpenRecordFile(qs(original), "original.kvlu");
    EXPECT_EQ(status(*dlg), " Original download · original.kvlu");
    EXPECT_TRUE(dlg->Control(IDC_STATUS)
                    ->toolTip()
                    .startsWith("This file has opened: original.kvlu\nOriginal download of " +
                                qs(rec_->serialText())))
        << dlg->Control(IDC_STATUS)->toolTip().toStdString();

    // A new description: saved in the same minute, the file could otherwise equal the original byte for byte.
    rec_->description() = "Checked by QA";
    const std::string saved = dir_.file("saved.kvlu");
    prompts_.fileNames = {qs(saved)};
    prompts_.chosenFilter = CDeepColdThermivoDlg::RecordFileFilter();
    dlg->OnSaveData();
    ASSERT_TRUE(std::filesystem::exists(saved));

    const auto rows = history_.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].event, "file-opened");
    EXPECT_EQ(rows[1].fileSha256, *sha256HexOfFile(original));
    EXPECT_EQ(rows[2].event, "file-saved");
    EXPECT_EQ(rows[2].fileSha256, *sha256HexOfFile(saved));
    EXPECT_EQ(rows[2].samplesSha256, rows[0].samplesSha256);
    EXPECT_TRUE(history_.verifyChain().ok());

    CHistoryView* view = dlg->HistoryView();
    dlg->Tab()->setCurrentWidget(view);
    EXPECT_EQ(view->heading()->text(), "History of instrument " + qs(rec_->serialText()));
    QTableWidget* table = view->table();
    ASSERT_EQ(table->rowCount(), 3);
    // Newest first.
    EXPECT_EQ(table->item(0, CHistoryView::ColEvent)->text(), "File saved");
    EXPECT_EQ(table->item(1, CHistoryView::ColEvent)->text(), "File opened");
    EXPECT_EQ(table->item(2, CHistoryView::ColEvent)->text(), "Download complete");
    EXPECT_TRUE(table->item(0, CHistoryView::ColDetails)->text().startsWith("path=" + qs(saved)));
    EXPECT_EQ(table->item(0, CHistoryView::ColProgram)->text(), "thermivo test");

    // The saved copy came from the original; a copy with one sample changed elsewhere is caught.
    dlg->OpenRecordFile(qs(saved), "saved.kvlu");
    EXPECT_EQ(status(*dlg), " Written from an original · saved.kvlu");
    const std::string edited = dir_.file("edited.kvlu");
    const std::string command = "/usr/bin/python3 '" THERMIVO_TEST_SUPPORT_DIR "/change-record-sample.py' '" +
                                saved + "' '" + edited + "' 50 12.34 2 2016";
    ASSERT_EQ(std::system(command.c_str()), 0);
    dlg->OpenRecordFile(qs(edited), "edited.kvlu");
    EXPECT_EQ(status(*dlg), " Sample 50 changed · edited.kvlu");
    EXPECT_TRUE(
        dlg->Control(IDC_STATUS)->toolTip().contains("Not known to this computer's history\nSample 50 ("));
    EXPECT_EQ(table->rowCount(), 5);  // the two openings
    shot(*dlg, "history-tab-en.png");
}

TEST_F(HistoryTab, ChineseTextsAndNoRecordingYet) {
    ScopedLanguage chinese(kLanguageChinesePrc);
    const std::string original = keepOriginal();
    auto dlg = historyWindow();
    EXPECT_EQ(dlg->Tab()->tabText(2), qs("历史记录"));
    dlg->Tab()->setCurrentWidget(dlg->HistoryView());
    EXPECT_EQ(dlg->HistoryView()->heading()->text(), qs("打开或下载一个记录，即可查看其记录仪的历史。"));
    EXPECT_EQ(dlg->HistoryView()->table()->rowCount(), 0);

    dlg->OpenRecordFile(qs(original), "original.kvlu");
    EXPECT_EQ(status(*dlg), qs(" 原始下载 · original.kvlu"));
    QTableWidget* table = dlg->HistoryView()->table();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, CHistoryView::ColEvent)->text(), qs("打开文件"));
    EXPECT_EQ(table->item(1, CHistoryView::ColEvent)->text(), qs("下载完成"));
    EXPECT_EQ(table->horizontalHeaderItem(CHistoryView::ColTime)->text(), qs("时间"));
    shot(*dlg, "history-tab-zh.png");
}

}  // namespace
}  // namespace thermivo::testing
