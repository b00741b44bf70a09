#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "run/history/run_history.h"
#include "store/task_record.h"

class QLabel;

namespace kestrune::ui {

// The newest run of each task that is not an undo, from a history read newest first.
std::map<std::string, HistoryEntry> lastRunOfEachTask(std::vector<HistoryEntry> history);

// When the task runs by itself, in words: "Runs by itself every 30 minutes, next at 14:35".
// paused: the automatic runs are off. nextInterval: when the loop runs it next by its interval
// (invalid when unknown).
QString byItselfText(const TaskRecord& record, bool paused, const QDateTime& nextInterval,
                     const QDateTime& now);

// Beside the tree: what the selected task does, how its last run went, with a link to its
// report, and when it runs by itself next.
class TaskPane : public QWidget {
    Q_OBJECT

  public:
    explicit TaskPane(QWidget* parent = nullptr);

    void showNothing();
    void showGroup(const QString& name, int tasks);
    // record: none for a task that has no settings yet. lastRun: none when it never ran.
    void showTask(const QString& name, const std::optional<TaskRecord>& record,
                  const HistoryEntry* lastRun, const QString& byItself);

  signals:
    void reportRequested(const QString& journalPath);

  private:
    void begin(const QString& title, const QString& sentence);

    QLabel* title_;
    QLabel* sentence_;
    QLabel* problem_;
    QLabel* lastRun_;
    QLabel* nextRun_;
};

}  // namespace kestrune::ui
