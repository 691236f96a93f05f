#include "Prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

namespace thermivo {

namespace {
QString boxTitle(QWidget* parent) {
    if (parent != nullptr && !parent->window()->windowTitle().isEmpty())
        return parent->window()->windowTitle();
    return QApplication::applicationDisplayName();
}

class DialogPrompts : public Prompts {
  public:
    bool askYesNo(QWidget* parent, const QString& text) override {
        return QMessageBox::question(parent, boxTitle(parent), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    void message(QWidget* parent, const QString& text) override {
        QMessageBox::information(parent, boxTitle(parent), text, QMessageBox::Ok);
    }
    QString saveFileName(QWidget* parent, const QString& directory, const QString& filters,
                         QString* selectedFilter) override {
        return QFileDialog::getSaveFileName(parent, QString(), directory, filters, selectedFilter);
    }
    QString openFileName(QWidget* parent, const QString& directory, const QString& filters,
                         const QStringList& sidebar) override {
        if (sidebar.isEmpty()) return QFileDialog::getOpenFileName(parent, QString(), directory, filters);
        // The static helper offers no side bar; a dialog of our own does (the platform's own dialog keeps
        // its places, so the Qt one is used here).
        QFileDialog dialog(parent, QString(), directory, filters);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QList<QUrl> places = dialog.sidebarUrls();
        for (const QString& folder : sidebar) places << QUrl::fromLocalFile(folder);
        dialog.setSidebarUrls(places);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().constFirst();
    }
    bool offer(QWidget* parent, const QString& text, const QString& action) override {
        QMessageBox box(QMessageBox::Warning, boxTitle(parent), text, QMessageBox::Cancel, parent);
        const QAbstractButton* chosen = box.addButton(action, QMessageBox::AcceptRole);
        box.exec();
        return box.clickedButton() == chosen;
    }
};

DialogPrompts& dialogPrompts() {
    static DialogPrompts p;
    return p;
}
Prompts* current = nullptr;
}  // namespace

Prompts& prompts() {
    return current != nullptr ? *current : dialogPrompts();
}
void setPrompts(Prompts* p) {
    current = p;
}

}  // namespace thermivo
