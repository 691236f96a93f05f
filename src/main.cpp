// thermivo: the desktop program. Builds the application object from the command line and runs it.
#include <QApplication>
#include <cstdio>
#include <string>

#include "KelvoraThermivoApp.h"

int main(int argc, char** argv) {
    // Help and version answer before the application object, which needs a display.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") break;
        if (a == "--version" || a == "--help" || a == "-h") {
            const QString text = a == "--version" ? thermivo::launchVersion() : thermivo::launchUsage();
            std::fputs(text.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("thermivo"));
    thermivo::LaunchOptions options = thermivo::parseLaunchOptions(QApplication::arguments().mid(1));
    if (options.help) {
        std::fputs(thermivo::launchUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "thermivo: %s\n%s", options.error.toLocal8Bit().constData(),
                     thermivo::launchUsage().toLocal8Bit().constData());
        return 2;
    }
    thermivo::CKelvoraThermivoApp theApp(std::move(options));
    return theApp.InitInstance();
}
