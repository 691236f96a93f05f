#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppSettings.h"

// Widgets need one QApplication for the whole test program; tests run offscreen.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    thermivo::AppSettings::instance().setLanguage(thermivo::kLanguageEnglishUs);
    // No window of a test writes its history or kept downloads into the user's data folder; tests that look
    // at them point XDG_DATA_HOME at a folder of their own.
    std::string data = (std::filesystem::temp_directory_path() / "thermivo-gui-data-XXXXXX").string();
    if (mkdtemp(data.data()) != nullptr) setenv("XDG_DATA_HOME", data.c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(data, ec);
    return status;
}
