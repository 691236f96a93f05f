#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MainWindowFixture.h"
#include "ReportSave.h"
#include "app/Sha256.h"

namespace thermivo::testing {
namespace {

using ReportSave = MainWindowFixture;

std::string pdfText(const std::string& path) {
    std::string out;
    FILE* p = popen(("pdftotext -enc UTF-8 '" + path + "' -").c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string slurpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ReportSave, TheSaveDialogsReportChoiceWritesTheRecordFileAndItsReport) {
    ScopedLanguage english(kLanguageEnglishUs);
    auto dlg = makeWindow();
    dlg->OpenRecordFile(qs(writeDemoRecordFile("trip.kvlu", 300)), "trip.kvlu");
    prompts_.chosenFilter = reportFilter();
    prompts_.fileNames = {qs(dir_.file("audit"))};
    dlg->OnSaveData();
    EXPECT_TRUE(prompts_.lastFilters.endsWith("Report (*.pdf)"));
    EXPECT_EQ(status(*dlg), qs(text(37)) + "audit.pdf");
    const auto digest = sha256HexOfFile(dir_.file("audit.kvlu"));
    ASSERT_TRUE(digest);
    const std::string pdf = pdfText(dir_.file("audit.pdf"));
    EXPECT_NE(pdf.find("Cold-chain record report"), std::string::npos);
    EXPECT_NE(pdf.find(*digest), std::string::npos) << "the report names the record file saved beside it";
    EXPECT_NE(pdf.find("audit.kvlu"), std::string::npos);

    // An existing record file of that name is replaced only after a Yes; No leaves both files as they were.
    const std::string before = slurpFile(dir_.file("audit.kvlu"));
    std::filesystem::remove(dir_.file("audit.pdf"));
    prompts_.fileNames = {qs(dir_.file("audit.pdf"))};
    prompts_.yesNo = {false};
    dlg->OnSaveData();
    ASSERT_EQ(prompts_.questions.size(), 1);
    EXPECT_TRUE(prompts_.questions.front().contains("audit.kvlu"));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("audit.pdf")));
    EXPECT_EQ(slurpFile(dir_.file("audit.kvlu")), before);
}

}  // namespace
}  // namespace thermivo::testing
