#include <gtest/gtest.h>

#include "ExportTestSupport.h"
#include "export/WorkbookConnection.h"
#include "export/WorkbookError.h"
#include "export/WorkbookSql.h"

using namespace thermivo;
using namespace thermivo::exporttest;

namespace {

WorkbookErrc errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const WorkbookError& e) {
        return e.code();
    }
    ADD_FAILURE() << "no error raised";
    return WorkbookErrc::BadFile;
}

}  // namespace

TEST(WorkbookSql, ParsesTheStatementsOfTheExportWithItsSpacing) {
    SqlStatement st = parseSql("CREATE TABLE Data (  Num TEXT,  RecordTime TEXT,  Temperature TEXT ) ");
    EXPECT_EQ(st.kind, SqlStatement::Kind::CreateTable);
    EXPECT_EQ(st.table, "Data");
    EXPECT_EQ(st.columns, (std::vector<std::string>{"Num", "RecordTime", "Temperature"}));

    st = parseSql("CREATE TABLE [CSpreadSheetBackup] ([Item] char(255), [Two Words] char(255))");
    EXPECT_EQ(st.table, "CSpreadSheetBackup");
    EXPECT_EQ(st.columns, (std::vector<std::string>{"Item", "Two Words"}));

    st = parseSql(
        "INSERT INTO \xE6\x95\xB0\xE6\x8D\xAE ( \xE5\xBA\x8F\xE5\x8F\xB7 ,  My Col ) VALUES( '1' ,  'Bob''s, "
        "(freezer)' )");
    EXPECT_EQ(st.kind, SqlStatement::Kind::Insert);
    EXPECT_EQ(st.table, "\xE6\x95\xB0\xE6\x8D\xAE");
    EXPECT_EQ(st.columns, (std::vector<std::string>{"\xE5\xBA\x8F\xE5\x8F\xB7", "My Col"}));
    EXPECT_EQ(st.values, (std::vector<std::string>{"1", "Bob's, (freezer)"}));

    st = parseSql("insert into [Backup$A1:IV7] ([a], [b]) values ('', NULL);");
    EXPECT_EQ(st.table, "Backup");
    EXPECT_EQ(st.range.lastRow, 6u);
    EXPECT_EQ(st.values, (std::vector<std::string>{"", ""}));

    st = parseSql("SELECT * FROM [Data$B2:C65536]");
    EXPECT_EQ(st.kind, SqlStatement::Kind::Select);
    EXPECT_EQ(st.range.firstRow, 1u);
    EXPECT_EQ(st.range.firstColumn, 1u);
    EXPECT_EQ(st.range.lastColumn, 2u);
    EXPECT_EQ(st.range.lastRow, 65535u);

    EXPECT_EQ(sqlQuote("Bob's 'x'"), "'Bob''s ''x'''");
    EXPECT_EQ(parseSql("INSERT INTO t (a) VALUES(" + sqlQuote("it's") + ")").values[0], "it's");
}

TEST(WorkbookSql, RejectsWhatItDoesNotUnderstand) {
    for (const char* bad : {"", "DROP TABLE x", "CREATE TABLE x", "CREATE TABLE x ( a )",
                            "CREATE TABLE x (a TEXT", "INSERT INTO x (a) VALUES('unclosed)",
                            "INSERT INTO x (a) VALUES(a b)", "INSERT INTO x (a) VALUES()", "SELECT a FROM x",
                            "SELECT * FROM [x$A0:B2]", "SELECT * FROM [x$A1:IW2]", "SELECT * FROM [x$B2:A1]",
                            "SELECT * FROM [x", "SELECT * FROM x extra", "INSERT INTO x (a]) VALUES('1')"}) {
        EXPECT_EQ(errorOf([&] { parseSql(bad); }), WorkbookErrc::Syntax) << bad;
    }
}

TEST(WorkbookConnection, ConnectionTextAndDriverLookup) {
    EXPECT_EQ(workbookConnectionText("D", "/t/a b.xls"),
              "DRIVER={D};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"/t/a b.xls\";DBQ=/t/a b.xls");
    EXPECT_NE(excelDriverName().find("Excel"), std::string::npos);
    WorkbookConnection db;
    EXPECT_EQ(errorOf([&] { db.open(workbookConnectionText("", "/tmp/x.xls")); }), WorkbookErrc::Connection);
    EXPECT_FALSE(db.isOpen());
}

TEST(WorkbookConnection, ExecutesStatementsAndWritesOnlyOnClose) {
    TempDir dir;
    const std::string path = dir.file("semi;colon.xls");  // DBQ runs to the end of the text
    WorkbookConnection db;
    db.open(workbookConnectionText(excelDriverName(), path));
    db.execute("CREATE TABLE Data ( Num TEXT,  Name TEXT ) ");
    db.execute("INSERT INTO Data ( Name ,  Num ) VALUES( 'x' , '1' )");
    db.execute("INSERT INTO Data VALUES('2', 'y')");
    EXPECT_EQ(errorOf([&] { db.execute("CREATE TABLE data ( A TEXT )"); }), WorkbookErrc::TableExists);
    EXPECT_EQ(errorOf([&] { db.execute("INSERT INTO Nope (a) VALUES('1')"); }), WorkbookErrc::NoSuchTable);
    EXPECT_EQ(errorOf([&] { db.execute("INSERT INTO Data (Other) VALUES('1')"); }), WorkbookErrc::Semantic);
    EXPECT_EQ(errorOf([&] { db.execute("INSERT INTO Data (Num) VALUES('1', '2')"); }),
              WorkbookErrc::Semantic);
    EXPECT_EQ(errorOf([&] { db.query("SELECT * FROM [Missing$A1:IV65536]"); }), WorkbookErrc::NoSuchTable);
    EXPECT_EQ(entryCount(dir.path()), 0u);  // nothing reaches the disk before close
    db.close();

    WorkbookConnection again;
    again.open(workbookConnectionText(excelDriverName(), path));
    ResultSet rs = again.query("SELECT * FROM [Data$A1:IV65536]");
    EXPECT_EQ(rs.columns, (std::vector<std::string>{"Num", "Name"}));
    ASSERT_EQ(rs.rows.size(), 2u);
    EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"1", "x"}));
    EXPECT_EQ(rs.rows[1], (std::vector<std::string>{"2", "y"}));
    rs = again.query("SELECT * FROM [Data$B2:B3]");
    EXPECT_EQ(rs.columns, (std::vector<std::string>{"x"}));
    EXPECT_EQ(rs.rows, (std::vector<std::vector<std::string>>{{"y"}}));

    // Changes of a connection that is dropped without close never reach the file.
    const std::string before = slurp(path);
    again.execute("CREATE TABLE Extra ( A TEXT )");
    again.discard();
    EXPECT_EQ(slurp(path), before);
}

TEST(WorkbookConnection, RowLimitAndUnnamedColumns) {
    TempDir dir;
    WorkbookConnection db;
    db.open(workbookConnectionText(excelDriverName(), dir.file("a.xls")));
    db.execute("CREATE TABLE T ( A TEXT, A TEXT )");
    db.execute("INSERT INTO T (A, A) VALUES('first', 'second')");  // repeated names fill successive columns
    for (int i = 2; i < 65536; ++i) db.execute("INSERT INTO T (A) VALUES('v')");
    EXPECT_EQ(errorOf([&] { db.execute("INSERT INTO T (A) VALUES('one too many')"); }),
              WorkbookErrc::Semantic);
    const ResultSet rs = db.query("SELECT * FROM [T$A2:C4]");
    EXPECT_EQ(rs.columns, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(rs.rows.size(), 2u);
    EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"v", ""}));

    WorkbookConnection other;
    other.open(workbookConnectionText(excelDriverName(), dir.file("b.xls")));
    other.execute("CREATE TABLE U ( A TEXT, B TEXT, C TEXT )");
    other.execute("INSERT INTO U (B) VALUES('only b')");
    // The first row read names the columns; an empty cell there gets the driver's name F<n>.
    EXPECT_EQ(other.query("SELECT * FROM [U$A2:C2]").columns, (std::vector<std::string>{"F1", "only b"}));
}

TEST(WorkbookConnection, UnreadableFilesRaiseAndStayUntouched) {
    TempDir dir;
    const std::string path = dir.file("notes.xls");
    std::ofstream(path) << "this is not a workbook";
    WorkbookConnection db;
    EXPECT_EQ(errorOf([&] { db.open(workbookConnectionText(excelDriverName(), path)); }),
              WorkbookErrc::BadFile);
    EXPECT_EQ(slurp(path), "this is not a workbook");
    EXPECT_EQ(errorOf([&] { db.open(workbookConnectionText(excelDriverName(), dir.path().string())); }),
              WorkbookErrc::Io);
    EXPECT_EQ(errorOf([&] { db.execute("CREATE TABLE A ( x TEXT )"); }), WorkbookErrc::Connection);
}
