#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "run/history/run_history.h"

class QTreeWidget;

namespace kestrune::ui {

// The journaled runs, newest first, with their state; a run's report opens on a double
// click or "Open Report".
class RunHistoryWindow : public QDialog {
    Q_OBJECT

  public:
    using ReportOpener = std::function<void(const std::string& journalPath)>;
    RunHistoryWindow(const std::vector<HistoryEntry>& runs, ReportOpener open,
                     QWidget* parent = nullptr);
    QTreeWidget* list() const { return list_; }

  private:
    void openCurrent();

    QTreeWidget* list_;
    ReportOpener open_;
};

}  // namespace kestrune::ui
