#pragma once
#include <QStringList>
#include <deque>

#include "Prompts.h"

namespace thermivo {

/// Prompts answered by a script: records every question and message, pops prepared answers.
class ScriptedPrompts : public Prompts {
  public:
    ScriptedPrompts() { setPrompts(this); }
    ~ScriptedPrompts() override { setPrompts(nullptr); }

    bool askYesNo(QWidget*, const QString& text) override {
        questions << text;
        if (yesNo.empty()) return false;
        const bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }
    void message(QWidget*, const QString& text) override { messages << text; }
    QString saveFileName(QWidget*, const QString& directory, const QString& filters,
                         QString* selectedFilter) override {
        lastDirectory = directory;
        lastFilters = filters;
        if (selectedFilter != nullptr && !chosenFilter.isEmpty()) *selectedFilter = chosenFilter;
        return pop(fileNames);
    }
    QString openFileName(QWidget*, const QString& directory, const QString& filters,
                         const QStringList& sidebar) override {
        lastDirectory = directory;
        lastFilters = filters;
        lastSidebar = sidebar;
        return pop(fileNames);
    }

    bool offer(QWidget*, const QString& text, const QString& action) override {
        offers << text + QLatin1Char('|') + action;
        if (yesNo.empty()) return false;
        const bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }

    std::deque<bool> yesNo;
    QStringList offers;
    std::deque<QString> fileNames;
    QString chosenFilter;
    QStringList questions, messages;
    QString lastDirectory, lastFilters;
    QStringList lastSidebar;

  private:
    static QString pop(std::deque<QString>& q) {
        if (q.empty()) return {};
        QString s = q.front();
        q.pop_front();
        return s;
    }
};

}  // namespace thermivo
