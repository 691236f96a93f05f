#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <memory>

namespace thermivo {

QTranslator* installQtTranslations(const QLocale& locale) {
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    // The dialogs around our windows come from Qt itself; without this they stay English on any system.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator.release();
}

}  // namespace thermivo
