#include <gtest/gtest.h>

#include "ExportTestSupport.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/ListRows.h"
#include "export/ListExport.h"
#include "export/RecordingExport.h"
#include "export/WorkbookError.h"

using namespace thermivo;
using namespace thermivo::exporttest;

namespace {

/// A list of `n` rows whose cells say where they are.
class CountingList : public ListSource {
  public:
    explicit CountingList(int n) : n_(n) {}
    int columnCount() const override { return 2; }
    std::string header(int c) const override { return c == 0 ? "Num" : "What"; }
    int rowCount() const override { return n_; }
    std::string cell(int r, int c) const override { return c == 0 ? std::to_string(r + 1) : "row"; }

  private:
    int n_;
};

class FixedList : public ListSource {
  public:
    FixedList(std::vector<std::string> headers, std::vector<std::vector<std::string>> rows)
        : headers_(std::move(headers)), rows_(std::move(rows)) {}
    int columnCount() const override { return static_cast<int>(headers_.size()); }
    std::string header(int c) const override { return headers_[static_cast<std::size_t>(c)]; }
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string cell(int r, int c) const override {
        return rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
    }

  private:
    std::vector<std::string> headers_;
    std::vector<std::vector<std::string>> rows_;
};

std::size_t dataRows(const Worksheet* ws) {
    return ws && !ws->rows.empty() ? ws->rows.size() - 1 : 0;
}

}  // namespace

TEST(ListExport, RecordingOf120SamplesGivesDataAndSummarySheets) {
    thermivo::testing::ScopedLanguage english(kLanguageEnglishUs);
    TempDir dir;
    const std::string path = dir.file("day1.xls");
    auto rec = makeExportRecording(120);
    rec->temperature[60] = Recording::kNoValue;
    rec->temperature[119] = 9.5f;
    const ExportResult r = exportRecordingToWorkbook(*rec, path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.error, "");

    const Workbook wb = Workbook::load(path);
    ASSERT_EQ(wb.sheets().size(), 2u);
    EXPECT_EQ(wb.sheets()[0].name, "Summary");
    EXPECT_EQ(wb.sheets()[1].name, "Data");
    const Worksheet* summary = wb.find("Summary");
    const auto labels = summaryListRows(*rec);
    ASSERT_EQ(dataRows(summary), labels.size());
    EXPECT_EQ(summary->rows[0], (std::vector<std::string>{"Item", "State"}));
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(summary->cell(i + 1, 0), labels[i].first);
        EXPECT_EQ(summary->cell(i + 1, 1), labels[i].second);
    }
    const Worksheet* data = wb.find("Data");
    ASSERT_EQ(dataRows(data), 120u);
    EXPECT_EQ(data->rows[0], (std::vector<std::string>{"Num", "RecordTime", "Temperature"}));
    for (int i : {0, 59, 119})
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(data->cell(static_cast<std::size_t>(i) + 1, static_cast<std::size_t>(c)),
                      sampleListCell(*rec, i, c));
    EXPECT_EQ(data->cell(1, 2), "35.60\u00B0F");  // 2.00 degrees Celsius in the English default unit
    EXPECT_EQ(data->cell(61, 2), "");
    EXPECT_EQ(data->cell(61, 0), "61");
    EXPECT_EQ(data->cell(120, 2), "49.10\u00B0F*");

    if (!haveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
    std::string dump, warnings;
    ASSERT_TRUE(xlrdDump(dir, path, &dump, &warnings)) << warnings;
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(dump, dumpWorkbook(wb));
}

TEST(ListExport, SplitsAfter50001RowsIntoASecondSheet) {
    TempDir dir;
    const std::string path = dir.file("split.xls");
    ASSERT_TRUE(exportListToWorkbook(CountingList(50001), "Data", path));
    Workbook wb = Workbook::load(path);
    EXPECT_EQ(dataRows(wb.find("Data")), 50001u);
    ASSERT_NE(wb.find("Data2"), nullptr);
    EXPECT_EQ(wb.find("Data2")->rows.size(), 1u);  // header only
    EXPECT_EQ(wb.find("Data")->cell(50001, 0), "50001");

    const std::string small = dir.file("small.xls");
    ASSERT_TRUE(exportListToWorkbook(CountingList(50000), "Data", small));
    EXPECT_EQ(Workbook::load(small).sheets().size(), 1u);
}

TEST(ListExport, RecordingOf60000SamplesAndASecondSaveIntoTheSameWorkbook) {
    thermivo::testing::ScopedLanguage english(kLanguageEnglishUs);
    TempDir dir;
    const std::string path = dir.file("full.xls");
    auto rec = makeExportRecording(60000);
    ExportResult r = exportRecordingToWorkbook(*rec, path);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string first = slurp(path);
    Workbook wb = Workbook::fromXls(first);
    ASSERT_EQ(dataRows(wb.find("Data")), 50001u);
    ASSERT_EQ(dataRows(wb.find("Data2")), 9999u);
    EXPECT_EQ(wb.find("Data2")->cell(1, 0), "50002");
    EXPECT_EQ(wb.find("Data2")->cell(9999, 0), "60000");

    // The second save backs "Data" up, then fails on the existing "Summary": the error reaches the caller,
    // and the sheets already in the workbook are intact.
    r = exportRecordingToWorkbook(*rec, path);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Summary"), std::string::npos) << r.error;
    const Workbook after = Workbook::load(path);
    ASSERT_EQ(after.sheets().size(), 4u);
    const Worksheet* backup = after.find("CSpreadSheetBackup");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->rows, wb.find("Data")->rows);
    EXPECT_EQ(after.find("Data")->rows, wb.find("Data")->rows);
    EXPECT_EQ(after.find("Summary")->rows, wb.find("Summary")->rows);
    EXPECT_EQ(entryCount(dir.path()), 1u);

    // A third save cannot make a second backup; it still fails cleanly.
    const std::string beforeThird = slurp(path);
    r = exportRecordingToWorkbook(*rec, path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(slurp(path), beforeThird);

    if (!haveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
    std::string dump, warnings;
    ASSERT_TRUE(xlrdDump(dir, path, &dump, &warnings)) << warnings;
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(dump, dumpWorkbook(after));
}

TEST(ListExport, ApostrophesAndChineseSurvive) {
    thermivo::testing::ScopedLanguage chinese(kLanguageChinesePrc);
    TempDir dir;
    const std::string path = dir.file("\xE8\xAE\xB0\xE5\xBD\x95.xls");
    const FixedList list({"Name", "\xE5\x90\x8D\xE7\xA7\xB0 two"},
                         {{"Bob's freezer", "\xE5\x86\xB7\xE5\xBA\x93 'A'"}, {"''", "x, y)"}, {"", "end"}});
    ASSERT_TRUE(exportListToWorkbook(list, text(29), path));
    auto rec = makeExportRecording(3);
    rec->labels[0] = "\xE5\xBA\x8F\xE5\x88\x97\xE5\x8F\xB7";
    rec->values[0] = "O'Neil's logger";
    ExportResult r = exportRecordingToWorkbook(*rec, dir.file("other.xls"));
    ASSERT_TRUE(r.ok) << r.error;

    const Workbook wb = Workbook::load(path);
    const Worksheet* ws = wb.find("\xE6\x95\xB0\xE6\x8D\xAE");
    ASSERT_NE(ws, nullptr);
    EXPECT_EQ(ws->rows[0], (std::vector<std::string>{"Name", "\xE5\x90\x8D\xE7\xA7\xB0 two"}));
    EXPECT_EQ(ws->cell(1, 0), "Bob's freezer");
    EXPECT_EQ(ws->cell(1, 1), "\xE5\x86\xB7\xE5\xBA\x93 'A'");
    EXPECT_EQ(ws->cell(2, 0), "''");
    EXPECT_EQ(ws->cell(2, 1), "x, y)");
    EXPECT_EQ(ws->cell(3, 1), "end");

    const Workbook other = Workbook::load(dir.file("other.xls"));
    ASSERT_NE(other.find("\xE6\xA6\x82\xE8\xBF\xB0"), nullptr);  // text 34 in Chinese
    EXPECT_EQ(other.find("\xE6\xA6\x82\xE8\xBF\xB0")->rows[0],
              (std::vector<std::string>{"\xE9\xA1\xB9\xE7\x9B\xAE", "\xE5\x80\xBC"}));
    EXPECT_EQ(other.find("\xE6\xA6\x82\xE8\xBF\xB0")->cell(1, 1), "O'Neil's logger");
    EXPECT_EQ(other.find("\xE6\x95\xB0\xE6\x8D\xAE")->cell(1, 2), "2.00\u00B0C");

    if (!haveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
    std::string dump, warnings;
    ASSERT_TRUE(xlrdDump(dir, path, &dump, &warnings)) << warnings;
    EXPECT_EQ(dump, dumpWorkbook(wb));
}

TEST(ListExport, NoDriverShowsTheMessageAndEmptyListsTouchNothing) {
    TempDir dir;
    const std::string path = dir.file("none.xls");
    std::vector<std::string> shown;
    ExportHooks hooks{[] { return std::string(); }, [&](const std::string& m) { shown.push_back(m); }};
    EXPECT_FALSE(exportListToWorkbook(CountingList(3), "Data", path, hooks));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No installation EXCEL!\nPlease install the Excel software to use output function!");

    // The whole save shows it once per list and reports the failure.
    auto rec = makeExportRecording(10);
    const ExportResult r = exportRecordingToWorkbook(*rec, path, hooks);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(entryCount(dir.path()), 0u);

    EXPECT_FALSE(exportListToWorkbook(CountingList(0), "Data", path));
    EXPECT_EQ(entryCount(dir.path()), 0u);
}

TEST(WorkbookSheet, ReadsTheSheetAndBacksItUp) {
    TempDir dir;
    const std::string path = dir.file("b.XLS");
    ASSERT_TRUE(exportListToWorkbook(FixedList({"A", "B"}, {{"1", "it's"}, {"", "2"}}), "Data", path));

    WorkbookSheet sheet(path, "Data", true);
    EXPECT_TRUE(sheet.isExcel());
    EXPECT_TRUE(sheet.backupEnabled());
    EXPECT_EQ(sheet.errorText(), "");
    EXPECT_EQ(sheet.columns(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(sheet.rowCount(), 2);
    EXPECT_NE(sheet.connectionText().find("DBQ=" + path), std::string::npos);
    const Workbook wb = Workbook::load(path);
    ASSERT_NE(wb.find(WorkbookSheet::kBackupSheetName), nullptr);
    EXPECT_EQ(wb.find(WorkbookSheet::kBackupSheetName)->rows, wb.find("Data")->rows);

    // The backup sheet exists now: a second backup fails and is switched off, leaving the file as it was.
    const std::string before = slurp(path);
    WorkbookSheet again(path, "Data", true);
    EXPECT_FALSE(again.backupEnabled());
    EXPECT_EQ(slurp(path), before);

    WorkbookSheet noBackup(path, "Missing", true);
    EXPECT_EQ(noBackup.columnCount(), 0);
    EXPECT_EQ(noBackup.errorText(), "");
    WorkbookSheet notExcel(dir.file("b.csv"), "Data", true);
    EXPECT_FALSE(notExcel.isExcel());
}

TEST(WorkbookSheet, UnreadableWorkbookIsAnErrorAndStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.file("broken.xls");
    ASSERT_TRUE(exportListToWorkbook(CountingList(400), "Data", path));
    const std::string damaged = slurp(path).substr(0, 3000);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;

    WorkbookSheet sheet(path, "Data", true);
    EXPECT_EQ(sheet.errorText(), "Error reading row\n");
    EXPECT_EQ(sheet.columnCount(), 0);

    auto rec = makeExportRecording(5);
    const ExportResult r = exportRecordingToWorkbook(*rec, path);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("not a readable workbook"), std::string::npos) << r.error;
    EXPECT_EQ(slurp(path), damaged);
    EXPECT_EQ(entryCount(dir.path()), 1u);
}
