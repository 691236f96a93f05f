#pragma once
#include <QLocale>
#include <QTranslator>

namespace thermivo {

/// Installs Qt's own translations (message box buttons, the file and print dialogs) for `locale` into the
/// application. Returns the installed translator (owned by the application), or nullptr when Qt has none
/// for that language.
QTranslator* installQtTranslations(const QLocale& locale);

}  // namespace thermivo
