// A failed save names the file in the status line and says why in a message box, in the user's language.
#include <QTest>
#include <filesystem>
#include <fstream>

#include "KelvoraThermivoApp.h"
#include "MainWindowFixture.h"
#include "app/SafeSave.h"
#include "export/Workbook.h"

namespace thermivo::testing {
namespace {

using SaveReason = MainWindowFixture;

TEST_F(SaveReason, RecordFileFailuresSayWhy) {
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeRecordFile("src.kvlu", KindTemp, 12)), "src.kvlu");
    prompts_.messages.clear();

    prompts_.fileNames = {qs(dir_.file("no/such/dir/x"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "x.kvlu");
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith(qs(text(2108) + "\n(")))
        << prompts_.messages[0].toStdString();

    // A value that no 7 characters hold.
    prompts_.messages.clear();
    rec_->temperature[3] = 99999.99f;
    prompts_.fileNames = {qs(dir_.file("wide"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "wide.kvlu");
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith(qs(text(2100)))) << prompts_.messages[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir_.file("wide.kvlu")));

    // A good save shows no box.
    prompts_.messages.clear();
    rec_->temperature[3] = Recording::kNoValue;
    prompts_.fileNames = {qs(dir_.file("good"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(37)) + "good.kvlu");
    EXPECT_TRUE(prompts_.messages.isEmpty()) << prompts_.messages.join("|").toStdString();
}

TEST_F(SaveReason, WorkbookFailuresSayWhyInChinese) {
    ScopedLanguage chinese(kLanguageChinesePrc);
    auto dlg = makeWindow();
    CKelvoraThermivoApp::ConnectWindow(*dlg);
    dlg->OpenRecordFile(qs(writeRecordFile("src.kvlu", KindTemp, 12)), "src.kvlu");
    prompts_.chosenFilter = CDeepColdThermivoDlg::WorksheetFilter();
    prompts_.fileNames = {qs(dir_.file("day1"))};
    dlg->OnSaveData();
    ASSERT_EQ(status(*dlg), qs(text(37)) + "day1.xls");

    // The same export again: the workbook already holds the summary worksheet.
    prompts_.messages.clear();
    prompts_.fileNames = {qs(dir_.file("day1"))};
    dlg->OnSaveData();
    EXPECT_EQ(status(*dlg), qs(text(38)) + "day1.xls");
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith(qs(text(2112, kLanguageChinesePrc) + "\n(")));
    EXPECT_TRUE(prompts_.messages[0].contains(qs(text(34)))) << prompts_.messages[0].toStdString();

    // A file that is no workbook is left alone, and the box says so.
    prompts_.messages.clear();
    { std::ofstream(dir_.file("notes.xls")) << "not a workbook"; }
    prompts_.fileNames = {qs(dir_.file("notes.xls"))};
    dlg->OnSaveData();
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith(qs(text(2111, kLanguageChinesePrc))));
}

}  // namespace
}  // namespace thermivo::testing
