#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "ui/report_rows.h"

class QAbstractItemModel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace kestrune::ui {

// The entries of one run, or of a plan before it runs: one row each (action, source, target,
// status), failures first and marked, a filter over every column, "Open Folder" on the
// current row. A report offers "Undo This Run", a preview "Run", which carries out exactly
// the plan shown.
class RunReport : public QDialog {
    Q_OBJECT

  public:
    enum class Mode { Report, Preview };
    RunReport(Mode mode, const QString& title, const QString& summary, ReportRows rows,
              QWidget* parent = nullptr);

    // The folder the current row's entry lies in (its target once it was moved or copied).
    void setFolderOpener(std::function<void(const QString& folder)> open);
    // "Undo This Run" of a report, "Run" of a preview; the window closes after a Run.
    void setAction(std::function<void()> act);

    QAbstractItemModel* shownRows() const;
    QLineEdit* filter() const { return filter_; }
    QTreeView* view() const { return view_; }
    QPushButton* actionButton() const { return action_; }

  private:
    void openFolder();

    Mode mode_;
    QSortFilterProxyModel* proxy_;
    QTreeView* view_;
    QLineEdit* filter_;
    QPushButton* action_;
    std::function<void(const QString&)> openFolder_;
    std::function<void()> act_;
};

}  // namespace kestrune::ui
