#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include "QtTranslations.h"

using namespace thermivo;

namespace {
QString cancelText() {
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    return box.button(QDialogButtonBox::Cancel)->text() + "|" + box.button(QDialogButtonBox::Open)->text();
}
}  // namespace

TEST(QtTranslations, QtsOwnButtonsSpeakTheSystemLanguage) {
    const QString english = cancelText();
    ASSERT_TRUE(english.contains("Cancel")) << english.toStdString();

    QTranslator* chinese = installQtTranslations(QLocale(QLocale::Chinese, QLocale::China));
    ASSERT_NE(chinese, nullptr) << "Qt's translations (qt6-translations-l10n) are not installed";
    EXPECT_EQ(cancelText(), QString::fromUtf8("取消|打开")) << cancelText().toStdString();
    QCoreApplication::removeTranslator(chinese);
    delete chinese;
    EXPECT_EQ(cancelText(), english);

    // A language Qt does not translate to leaves the texts as they are.
    QTranslator* none = installQtTranslations(QLocale(QLocale::Volapuk));
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(cancelText(), english);
}
