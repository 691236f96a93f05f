#include <gtest/gtest.h>

#include <QApplication>

#include "app/AppSettings.h"

// Widgets need one QApplication for the whole test program; tests run offscreen.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    thermivo::AppSettings::instance().setLanguage(thermivo::kLanguageEnglishUs);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
