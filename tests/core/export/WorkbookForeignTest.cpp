// Exporting into a workbook another spreadsheet program wrote keeps its sheets, formats and formulas.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "export/CompoundFile.h"
#include "export/RecordingExport.h"
#include "export/Workbook.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

const std::string kMadeByLibreOffice = std::string(THERMIVO_TEST_DATA_DIR) + "/workbooks/other-program.xls";

struct RawRecord {
    unsigned type;
    std::string bytes;  // header and data
};

// The records of the workbook stream of an .xls file: the globals, then each sheet, in stream order.
std::vector<RawRecord> records(const std::string& file) {
    const std::string stream = readWorkbookStream(file);
    std::vector<RawRecord> out;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const unsigned type =
            static_cast<unsigned char>(stream[at]) | static_cast<unsigned char>(stream[at + 1]) << 8;
        const std::size_t len =
            static_cast<unsigned char>(stream[at + 2]) | static_cast<unsigned char>(stream[at + 3]) << 8;
        out.push_back({type, stream.substr(at, 4 + len)});
        at += 4 + len;
    }
    return out;
}

// The records that hold no stream positions or string numbers, which a copy keeps byte for byte.
std::vector<std::string> keptRecords(const std::vector<RawRecord>& all) {
    std::vector<std::string> kept;
    for (const auto& r : all) {
        // BOUNDSHEET, SST, CONTINUE, EXTSST, INDEX and DBCELL carry positions; EOF/BOF repeat everywhere.
        if (r.type == 0x85 || r.type == 0xFC || r.type == 0x3C || r.type == 0xFF || r.type == 0x20B ||
            r.type == 0xD7 || r.type == 0x0A || r.type == 0x809)
            continue;
        kept.push_back(r.bytes);
    }
    return kept;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

}  // namespace

TEST(WorkbookForeign, ReadsFormulaAndDateCellsOfAnotherProgram) {
    const Workbook wb = Workbook::load(kMadeByLibreOffice);
    ASSERT_EQ(wb.sheets().size(), 2u);
    const Worksheet& readings = wb.sheets()[0];
    EXPECT_EQ(readings.name, "Readings");
    EXPECT_EQ(readings.cell(0, 1), "Fridge");
    EXPECT_EQ(readings.cell(1, 0), "45293");  // a date is a day number with a date format
    EXPECT_EQ(readings.cell(2, 1), "5.25");
    EXPECT_EQ(readings.cell(2, 2), "10.5");  // a formula reads as its value
    EXPECT_EQ(wb.sheets()[1].cell(0, 0), "Kühlraum Süd – checked by Anna");
}

TEST(WorkbookForeign, ExportAddsSheetsAndCopiesEverythingElse) {
    ScopedTimeZone utc("UTC");
    TempDir dir;
    const std::string path = dir.file("book.xls");
    std::filesystem::copy_file(kMadeByLibreOffice, path);
    auto rec = makeRecording(KindTemp, 30);
    rec->buildSampleTimes();
    const ExportResult r = exportRecordingToWorkbook(*rec, path);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(r.error.empty()) << r.error;

    std::ifstream before(kMadeByLibreOffice, std::ios::binary), after(path, std::ios::binary);
    const std::string original{std::istreambuf_iterator<char>(before), {}};
    const std::string exported{std::istreambuf_iterator<char>(after), {}};
    const auto kept = keptRecords(records(original));
    const auto now = keptRecords(records(exported));
    // Every font, number format, cell format, style, name, formula and cell of the other program's file is
    // still there, in the same order, and only new records were added after them.
    std::size_t found = 0;
    for (const auto& rec2 : now)
        if (found < kept.size() && rec2 == kept[found]) ++found;
    EXPECT_EQ(found, kept.size());
    std::size_t formulas = 0;
    for (const auto& rec2 : records(exported)) formulas += rec2.type == 0x0006;
    EXPECT_EQ(formulas, 2u);

    const Workbook wb = Workbook::load(path);
    ASSERT_EQ(wb.sheets().size(), 4u);
    EXPECT_EQ(wb.sheets()[0].name, "Readings");
    EXPECT_EQ(wb.sheets()[1].name, "Notes");
    EXPECT_EQ(wb.sheets()[2].name, "Summary");
    EXPECT_EQ(wb.sheets()[3].name, "Data");
    EXPECT_EQ(wb.sheets()[3].rows.size(), 31u);
    EXPECT_EQ(wb.sheets()[0].cell(2, 2), "10.5");

    // A second reader sees the dates as dates and the two-decimal format, and our sheets as text.
    const std::string check =
        run("/usr/bin/python3 -c \"import sys, xlrd\n"
            "b = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n"
            "s = b.sheet_by_name('Readings')\n"
            "fmt = lambda c: b.format_map[b.xf_list[c.xf_index].format_key].format_str\n"
            "print(s.cell(1, 0).ctype, s.cell(1, 0).value, fmt(s.cell(2, 1)), "
            "b.sheet_by_name('Data').cell(1, 0).value)\" '" +
            path + "' 2>&1");
    if (check.find("No module named") != std::string::npos) GTEST_SKIP() << check;
    EXPECT_EQ(check, "3 45293.0 0.00 1\n");
}

TEST(WorkbookForeign, ASheetThatReceivesRowsIsWrittenFromItsCells) {
    Workbook wb = Workbook::load(kMadeByLibreOffice);
    Worksheet* notes = wb.find("Notes");
    ASSERT_NE(notes, nullptr);
    notes->rows.push_back({"added"});
    notes->originalRecords.reset();
    const Workbook back = Workbook::fromXls(wb.toXls());
    EXPECT_EQ(back.find("Notes")->cell(1, 0), "added");
    EXPECT_EQ(back.find("Notes")->cell(0, 0), "Kühlraum Süd – checked by Anna");
    EXPECT_EQ(back.find("Readings")->cell(1, 2), "9");
}
