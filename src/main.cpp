// thermivo: the desktop program. Builds the application object from the command line and runs it.
#include <QApplication>
#include <cstdio>

#include "KelvoraThermivoApp.h"

int main(int argc, char** argv) {
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
