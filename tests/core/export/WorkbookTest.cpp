#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>

#include "ExportTestSupport.h"
#include "export/CompoundFile.h"
#include "export/Workbook.h"
#include "export/WorkbookError.h"

using namespace thermivo;
using namespace thermivo::exporttest;

namespace {

std::uint32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

void setLe32(std::string& s, std::size_t at, std::uint32_t v) {
    std::memcpy(s.data() + at, &v, 4);
}

/// BIFF record for hand-built streams.
std::string rec(std::uint16_t type, const std::string& data) {
    std::string r;
    r.push_back(static_cast<char>(type & 0xFF));
    r.push_back(static_cast<char>(type >> 8));
    r.push_back(static_cast<char>(data.size() & 0xFF));
    r.push_back(static_cast<char>(data.size() >> 8));
    return r + data;
}

std::string le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

/// A workbook stream as another program writes it: LABEL, NUMBER, RK and MULRK cells, no SST.
std::string foreignStream() {
    const std::string bof8 = le(0x0600, 2);
    std::string globals = rec(0x0809, bof8 + le(0x0005, 2) + std::string(12, '\0'));
    const std::string name = "Sheet1";
    const std::size_t boundAt = globals.size() + 4;
    globals += rec(0x0085, le(0, 4) + le(0, 2) + le(name.size(), 1) + le(0, 1) + name);
    globals += rec(0x000A, "");
    setLe32(globals, boundAt, static_cast<std::uint32_t>(globals.size()));
    double v25 = 2.5;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v25, 8);
    std::string sheet = rec(0x0809, bof8 + le(0x0010, 2) + std::string(12, '\0'));
    sheet += rec(0x0204, le(0, 2) + le(0, 2) + le(15, 2) + le(5, 2) + le(0, 1) + "Count");  // LABEL
    sheet +=
        rec(0x0204, le(0, 2) + le(1, 2) + le(15, 2) + le(2, 2) + le(1, 1) + le(0x6E29, 2) + le(0x5EA6, 2));
    sheet += rec(0x0203, le(1, 2) + le(0, 2) + le(15, 2) + le(bits, 8));            // NUMBER 2.5
    sheet += rec(0x027E, le(1, 2) + le(1, 2) + le(15, 2) + le((3u << 2) | 2u, 4));  // RK integer 3
    sheet += rec(0x027E, le(2, 2) + le(0, 2) + le(15, 2) +
                             le((static_cast<std::uint32_t>(-7) << 2) | 3u, 4));  // -0.07
    sheet += rec(0x00BD, le(3, 2) + le(0, 2) + le(15, 2) + le((10u << 2) | 2u, 4) + le(15, 2) +
                             le((1234u << 2) | 3u, 4) + le(1, 2));  // MULRK 10, 12.34
    sheet += rec(0x0201, le(4, 2) + le(0, 2) + le(15, 2));          // BLANK: ignored
    sheet += rec(0x000A, "");
    return globals + sheet;
}

std::string foreignWorkbook() {
    return writeCompoundFile(foreignStream());
}

/// A compound file that keeps a short stream in the mini stream, as other writers do.
std::string miniStreamFile(const std::string& stream) {
    const std::size_t miniSectors = (stream.size() + 63) / 64;
    const std::size_t containerSectors = (miniSectors * 64 + 511) / 512;
    std::string file(512 + (3 + containerSectors) * 512, '\0');
    const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(file.data(), sig, 8);
    file[24] = 0x3E;
    file[26] = 3;
    file[28] = '\xFE';
    file[29] = '\xFF';
    file[30] = 9;
    file[32] = 6;
    setLe32(file, 44, 1);
    setLe32(file, 48, 1);
    setLe32(file, 56, 4096);
    setLe32(file, 60, 2);
    setLe32(file, 64, 1);
    setLe32(file, 68, 0xFFFFFFFE);
    for (std::size_t i = 0; i < 109; ++i) setLe32(file, 76 + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    const std::size_t fat = 512, dir = 1024, minifat = 1536;
    for (std::size_t i = 0; i < 128; ++i) setLe32(file, fat + 4 * i, 0xFFFFFFFF);
    setLe32(file, fat, 0xFFFFFFFD);
    setLe32(file, fat + 4, 0xFFFFFFFE);
    setLe32(file, fat + 8, 0xFFFFFFFE);
    for (std::size_t i = 0; i < containerSectors; ++i)
        setLe32(file, fat + 4 * (3 + i),
                i + 1 < containerSectors ? static_cast<std::uint32_t>(4 + i) : 0xFFFFFFFE);
    for (std::size_t i = 0; i < 128; ++i)
        setLe32(file, minifat + 4 * i,
                i + 1 < miniSectors    ? static_cast<std::uint32_t>(i + 1)
                : i + 1 == miniSectors ? 0xFFFFFFFE
                                       : 0xFFFFFFFF);
    auto entry = [&](std::size_t at, const char* name, char type, std::uint32_t child, std::uint32_t start,
                     std::uint32_t size) {
        const std::size_t len = std::strlen(name);
        for (std::size_t i = 0; i < len; ++i) file[at + 2 * i] = name[i];
        file[at + 64] = static_cast<char>((len + 1) * 2);
        file[at + 66] = type;
        file[at + 67] = 1;
        setLe32(file, at + 68, 0xFFFFFFFF);
        setLe32(file, at + 72, 0xFFFFFFFF);
        setLe32(file, at + 76, child);
        setLe32(file, at + 116, start);
        setLe32(file, at + 120, size);
    };
    entry(dir, "Root Entry", 5, 1, 3, static_cast<std::uint32_t>(miniSectors * 64));
    entry(dir + 128, "Workbook", 2, 0xFFFFFFFF, 0, static_cast<std::uint32_t>(stream.size()));
    std::memcpy(file.data() + 512 + 3 * 512, stream.data(), stream.size());
    return file;
}

}  // namespace

TEST(Workbook, RoundTripKeepsSheetsAndTextsAcrossContinueRecords) {
    Workbook wb;
    Worksheet& a = wb.addSheet("Data");
    a.rows = {{"Num", "RecordTime", "Temperature"}, {"1", "2014-5-13 16:53", "25.00\u00B0C*"}};
    // Enough strings for several CONTINUE records, a few long ones split inside their characters.
    for (int i = 0; i < 3000; ++i) a.rows.push_back({std::to_string(i), "row " + std::to_string(i * 7919)});
    a.rows.push_back({std::string(9000, 'x'), "\xE6\xB8\xA9\xE5\xBA\xA6"});
    std::string wide;
    for (int i = 0; i < 5000; ++i) wide += "\xE6\x95\xB0";  // 5000 x U+6570
    a.rows.push_back({wide, "Bob's freezer", "\xF0\x9F\x98\x80 smile"});
    a.rows.push_back({"", "", "after gap"});
    Worksheet& b = wb.addSheet("\xE6\xA6\x82\xE8\xBF\xB0");  // Chinese sheet name
    b.rows = {{"Item", "State"}, {"ID", "12345"}};

    const Workbook back = Workbook::fromXls(wb.toXls());
    ASSERT_EQ(back.sheets().size(), 2u);
    EXPECT_EQ(dumpWorkbook(back), dumpWorkbook(wb));
    EXPECT_EQ(back.sheets()[1].name, "\xE6\xA6\x82\xE8\xBF\xB0");
    EXPECT_EQ(back.find("data"), &back.sheets()[0]);  // names compare without ASCII case
}

TEST(Workbook, SheetNamesAreCheckedAndUnique) {
    Workbook wb;
    wb.addSheet("Data");
    EXPECT_THROW(wb.addSheet("DATA"), WorkbookError);
    for (const char* badName : {"", "a[b", "x:y", "q?", "12345678901234567890123456789012"})
        EXPECT_THROW(wb.addSheet(badName), WorkbookError) << badName;
    EXPECT_NO_THROW(wb.addSheet("1234567890123456789012345678901"));
    EXPECT_THROW(Workbook().toXls(),
                 WorkbookError);  // a workbook without sheets is not a file any reader opens
}

TEST(Workbook, ReadsForeignTextAndNumberCellsAndKeepsNumbersOnRewrite) {
    const Workbook wb = Workbook::fromXls(foreignWorkbook());
    ASSERT_EQ(wb.sheets().size(), 1u);
    const Worksheet& ws = wb.sheets()[0];
    EXPECT_EQ(ws.name, "Sheet1");
    EXPECT_EQ(ws.cell(0, 0), "Count");
    EXPECT_EQ(ws.cell(0, 1), "\xE6\xB8\xA9\xE5\xBA\xA6");
    EXPECT_EQ(ws.cell(1, 0), "2.5");
    EXPECT_EQ(ws.cell(1, 1), "3");
    EXPECT_EQ(ws.cell(2, 0), "-0.07");
    EXPECT_EQ(ws.cell(3, 0), "10");
    EXPECT_EQ(ws.cell(3, 1), "12.34");
    EXPECT_EQ(ws.rows.size(), 4u);

    Workbook copy = Workbook::fromXls(wb.toXls());
    EXPECT_EQ(copy.sheets()[0].numbers.size(), 5u);
    EXPECT_EQ(dumpWorkbook(copy), dumpWorkbook(wb));

    // The same stream kept in a mini stream reads the same; a mini chain that loops is refused.
    std::string mini = miniStreamFile(foreignStream());
    EXPECT_EQ(dumpWorkbook(Workbook::fromXls(mini)), dumpWorkbook(wb));
    setLe32(mini, 1536 + 4 * 1, 0);
    EXPECT_THROW(Workbook::fromXls(mini), WorkbookError);
}

TEST(Workbook, NumberTextsAsASpreadsheetShowsThem) {
    EXPECT_EQ(numberText(3), "3");
    EXPECT_EQ(numberText(2.5), "2.5");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(0.1), "0.1");
    EXPECT_EQ(numberText(123456789012.0), "123456789012");
}

TEST(Workbook, LargeWorkbookUsesDifatSectors) {
    Workbook wb;
    Worksheet& ws = wb.addSheet("Big");
    std::mt19937 rng(7);
    for (int r = 0; r < 2600; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < 4; ++c) {
            std::string s(700, ' ');
            for (char& ch : s) ch = static_cast<char>('a' + rng() % 26);
            row.push_back(std::move(s));
        }
        ws.rows.push_back(std::move(row));
    }
    const std::string file = wb.toXls();
    ASSERT_GT(file.size(), 7200000u);
    EXPECT_GT(le32(file, 44), 109u);         // FAT sectors
    EXPECT_GE(le32(file, 72), 1u);           // DIFAT sectors
    EXPECT_NE(le32(file, 68), 0xFFFFFFFEu);  // first DIFAT sector
    EXPECT_EQ((file.size() - 512) % 512, 0u);
    EXPECT_EQ(dumpWorkbook(Workbook::fromXls(file)), dumpWorkbook(wb));

    if (!haveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
    TempDir dir;
    wb.save(dir.file("big.xls"));
    std::string dump, warnings;
    ASSERT_TRUE(xlrdDump(dir, dir.file("big.xls"), &dump, &warnings)) << warnings;
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(dump, dumpWorkbook(wb));
}

TEST(Workbook, DamagedFilesAreErrorsNotCrashes) {
    Workbook wb;
    wb.addSheet("Data").rows = {{"a", "b"}, {"1", "2"}};
    const std::string good = wb.toXls();

    auto expectBad = [](const std::string& bytes, const char* what) {
        try {
            Workbook::fromXls(bytes);
            ADD_FAILURE() << what << ": accepted";
        } catch (const WorkbookError& e) {
            EXPECT_EQ(e.code(), WorkbookErrc::BadFile) << what;
        }
    };
    expectBad("", "empty");
    expectBad(std::string(4096, 'x'), "no signature");
    expectBad(good.substr(0, 511), "shorter than a header");
    expectBad(good.substr(0, 2048), "truncated stream");

    std::string loop = good;
    setLe32(loop, 512 + 9 * 512 + 4 * 2, 1);  // FAT sits after 8 stream sectors and the directory
    expectBad(loop, "cycle in the stream chain");

    std::string farSector = good;
    setLe32(farSector, 76, 1000000);  // first FAT sector beyond the file
    expectBad(farSector, "FAT outside the file");

    std::string hugeFat = good;
    setLe32(hugeFat, 44, 0x7FFFFFFF);
    expectBad(hugeFat, "FAT count larger than the file");

    // Every truncation and a few thousand random byte changes: each one reads or fails cleanly.
    for (std::size_t n = 0; n < good.size(); n += 97) {
        try {
            Workbook::fromXls(good.substr(0, n));
        } catch (const WorkbookError&) {
        }
    }
    std::mt19937 rng(1);
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = good;
        for (int k = 0; k < 4; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
        try {
            Workbook::fromXls(bytes);
        } catch (const WorkbookError&) {
        }
    }
}

TEST(Workbook, SaveReplacesAtomicallyAndFailsCleanly) {
    TempDir dir;
    const std::string path = dir.file("book.xls");
    Workbook wb;
    wb.addSheet("Data").rows = {{"a"}};
    wb.save(path);
    ::chmod(path.c_str(), 0640);
    wb.addSheet("More").rows = {{"b"}};
    wb.save(path);
    EXPECT_EQ(Workbook::load(path).sheets().size(), 2u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);    // permissions of the replaced file survive
    EXPECT_EQ(entryCount(dir.path()), 1u);  // no temporary file left behind

    try {
        wb.save(dir.file("missing/book.xls"));
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const WorkbookError& e) {
        EXPECT_EQ(e.code(), WorkbookErrc::Io);
    }
    EXPECT_THROW(Workbook::load(dir.file("absent.xls")), WorkbookError);
}
