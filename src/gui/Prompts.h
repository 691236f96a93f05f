#pragma once
#include <QString>
#include <QStringList>

class QWidget;

namespace thermivo {

/// Message boxes and file dialogs, behind an interface so tests can answer them.
class Prompts {
  public:
    virtual ~Prompts() = default;
    /// A Yes/No question; only Yes returns true.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    /// A message with an OK button only.
    virtual void message(QWidget* parent, const QString& text) = 0;
    /// A save dialog; empty when cancelled. *selectedFilter carries the filter in and the chosen one out.
    virtual QString saveFileName(QWidget* parent, const QString& directory, const QString& filters,
                                 QString* selectedFilter) = 0;
    /// An open dialog; empty when cancelled. `sidebar` folders are offered in the dialog's side bar.
    virtual QString openFileName(QWidget* parent, const QString& directory, const QString& filters,
                                 const QStringList& sidebar = {}) = 0;
    /// A message that offers one way out (a button captioned `action`) besides Cancel; true for the action.
    virtual bool offer(QWidget* parent, const QString& text, const QString& action) = 0;
};

/// The prompts in force: real dialogs unless a test installed its own.
Prompts& prompts();
/// Installs p (not owned); nullptr restores the real dialogs.
void setPrompts(Prompts* p);

}  // namespace thermivo
