#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>
#include <vector>

#include "ui/report_rows.h"

class QAbstractItemModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace kestrune {
struct TaskRecord;
}

namespace kestrune::ui {

class CellDelegate;

// The entries of one run, or of a plan before it runs: one row each (action, source, target,
// status), failures first and marked, a filter over every column, "Open Folder" on the
// current row. A report offers "Undo This Run", a preview "Run", which carries out exactly
// the plan shown. Paths show below the task's folders, whole in their tooltips; the selected
// rows can be copied, the rows shown saved as CSV.
class RunReport : public QDialog {
    Q_OBJECT

  public:
    enum class Mode { Report, Preview };
    // Asked for the file to save the CSV to, suggesting a name; empty: not saved.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    RunReport(Mode mode, const QString& title, const QString& summary, ReportRows rows,
              QWidget* parent = nullptr);

    // The folders the Source and Target columns show their paths below.
    void setTaskFolders(const TaskRecord& record);
    // The folder the current row's entry lies in (its target once it was moved or copied).
    void setFolderOpener(std::function<void(const QString& folder)> open);
    // "Undo This Run" of a report, "Run" of a preview; the window closes after a Run.
    void setAction(std::function<void()> act);
    void setFileChooser(FileChooser choose) { chooseFile_ = std::move(choose); }
    // A preview's walk passed over more entries than its rows hold.
    void setPassedOverTotal(std::size_t total);

    QAbstractItemModel* shownRows() const;
    QLineEdit* filter() const { return filter_; }
    QTreeView* view() const { return view_; }
    QPushButton* actionButton() const { return action_; }
    const CellDelegate& cells() const { return *cells_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void openFolder();
    void saveCsv();
    void fitStatusColumn();

    Mode mode_;
    QSortFilterProxyModel* proxy_;
    QTreeView* view_;
    CellDelegate* cells_;
    QLabel* folders_;
    QLineEdit* filter_;
    QPushButton* action_;
    QCheckBox* showPassedOver_ = nullptr;  // a preview's
    std::function<void(const QString&)> openFolder_;
    std::function<void()> act_;
    FileChooser chooseFile_;
    bool fitted_ = false;
};

}  // namespace kestrune::ui
