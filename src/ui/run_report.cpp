#include "ui/run_report.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/file_io.h"
#include "run/plan/task_record.h"
#include "ui/error_box.h"
#include "ui/shown_text.h"
#include "ui/table_cells.h"

namespace kestrune::ui {

namespace {

enum Column { ActionColumn, SourceColumn, TargetColumn, StatusColumn, ColumnCount };

constexpr QSize kFirstSize(720, 420);
// The status column takes what its texts need, up to this share of the width; the two path
// columns share the rest.
constexpr double kStatusShare = 0.4;

class RowModel final : public QAbstractTableModel {
  public:
    RowModel(ReportRows rows, QObject* parent)
        : QAbstractTableModel(parent), rows_(std::move(rows)) {}

    void setFolders(const QString& source, const QString& target) {
        sourceFolder_ = source;
        targetFolder_ = target;
        if (rows_.size() > 0)
            emit dataChanged(index(0, 0), index(rowCount({}) - 1, ColumnCount - 1));
        emit headerDataChanged(Qt::Horizontal, SourceColumn, TargetColumn);
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const ReportRow& row = at(index.row());
        switch (role) {
            case Qt::DisplayRole:
                return escapedControls(shown(row, index.column()));
            case Qt::ToolTipRole:
                return escapedControls(full(row, index.column()));
            case kFullTextRole:
                return full(row, index.column());
            case Qt::ForegroundRole:
                if (row.failed) return QColor(Qt::red);
                if (row.passedOver) {
                    return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
                }
                return {};
            case Qt::DecorationRole:
                if (row.failed && index.column() == ActionColumn) {
                    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
                }
                return {};
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal) return {};
        static const char* const captions[] = {"Action", "Source", "Target", "Status"};
        if (role == Qt::DisplayRole) return QString::fromLatin1(captions[section]);
        if (role != Qt::ToolTipRole) return {};
        const QString& folder = section == SourceColumn ? sourceFolder_ : targetFolder_;
        if ((section != SourceColumn && section != TargetColumn) || folder.isEmpty()) return {};
        return QStringLiteral("Paths below %1").arg(escapedControls(folder));
    }
    const ReportRow& at(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    bool isPassedOver(int row) const { return rows_.isPassedOver(static_cast<std::size_t>(row)); }
    std::size_t passedOverCount() const { return rows_.passedOverCount(); }

  private:
    static QString full(const ReportRow& row, int column) {
        switch (column) {
            case ActionColumn:
                return row.action;
            case SourceColumn:
                return row.source;
            case TargetColumn:
                return row.target;
            default:
                return row.status;
        }
    }
    QString shown(const ReportRow& row, int column) const {
        if (column == SourceColumn) return pathBelow(row.source, sourceFolder_);
        if (column == TargetColumn) return pathBelow(row.target, targetFolder_);
        return full(row, column);
    }

    ReportRows rows_;
    QString sourceFolder_;
    QString targetFolder_;
};

// The filter box's text over every column, and a preview's passed-over rows only on request.
class RowFilter final : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void showPassedOver(bool shown) {
        passedOverShown_ = shown;
        invalidateRowsFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* rows = static_cast<const RowModel*>(sourceModel());
        if (!passedOverShown_ && rows->isPassedOver(row)) return false;
        return QSortFilterProxyModel::filterAcceptsRow(row, parent);
    }

  private:
    bool passedOverShown_ = false;
};

QString passedOverCaption(std::size_t listed, std::size_t total) {
    const QString caption = QStringLiteral("Show &passed-over entries");
    if (total > listed)
        return caption + QStringLiteral(" (the first %1 of %2)").arg(listed).arg(total);
    return caption + QStringLiteral(" (%1)").arg(listed);
}

QString chooseCsvFile(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save as CSV"), suggested,
                                        QStringLiteral("CSV files (*.csv);;All files (*)"));
}

}  // namespace

RunReport::RunReport(Mode mode, const QString& title, const QString& summary, ReportRows rows,
                     QWidget* parent)
    : QDialog(parent), mode_(mode), chooseFile_(chooseCsvFile) {
    setObjectName(mode == Mode::Report ? QStringLiteral("RunReport")
                                       : QStringLiteral("RunPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    resize(kFirstSize);

    const std::size_t passedOver = rows.passedOverCount();
    auto* model = new RowModel(std::move(rows), this);
    auto* filter = new RowFilter(this);
    proxy_ = filter;
    proxy_->setSourceModel(model);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);

    folders_ = new QLabel(this);
    folders_->setObjectName(QStringLiteral("Folders"));
    folders_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folders_->setWordWrap(true);
    folders_->hide();

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("Filter"));
    filter_->setPlaceholderText(QStringLiteral("Filter"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);

    // What the walk saw and left, and why: the window's answer to kestrune-cli's --explain.
    if (mode == Mode::Preview) {
        showPassedOver_ = new QCheckBox(passedOverCaption(passedOver, passedOver), this);
        showPassedOver_->setObjectName(QStringLiteral("ShowPassedOver"));
        showPassedOver_->setEnabled(passedOver > 0);
        showPassedOver_->setToolTip(QStringLiteral(
            "Each entry the search saw but did not select, with the first rule it failed"));
        // Their reasons are longer than a plan's status words: the column grows to show them.
        connect(showPassedOver_, &QCheckBox::toggled, this, [this, filter](bool shown) {
            filter->showPassedOver(shown);
            fitStatusColumn();
        });
    }

    view_ = new QTreeView(this);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);  // keeps a report of many thousand rows quick
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setModel(proxy_);
    cells_ = new CellDelegate({SourceColumn, TargetColumn}, view_);
    view_->setItemDelegate(cells_);
    QHeaderView* header = view_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(ActionColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(SourceColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(TargetColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(StatusColumn, QHeaderView::Interactive);
    addRowCopy(*view_);

    auto* buttons = new QDialogButtonBox(this);
    auto* open = buttons->addButton(QStringLiteral("&Open Folder"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("OpenFolder"));
    auto* save = buttons->addButton(QStringLiteral("Save as CS&V…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SaveCsv"));
    save->setToolTip(QStringLiteral("Saves the rows shown, with whole paths"));
    action_ = buttons->addButton(
        mode == Mode::Report ? QStringLiteral("&Undo This Run") : QStringLiteral("&Run"),
        QDialogButtonBox::ActionRole);
    action_->setObjectName(mode == Mode::Report ? QStringLiteral("UndoThisRun")
                                                : QStringLiteral("RunPlan"));
    action_->setEnabled(false);
    buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("Close"));
    connect(open, &QPushButton::clicked, this, &RunReport::openFolder);
    connect(save, &QPushButton::clicked, this, &RunReport::saveCsv);
    connect(view_, &QTreeView::doubleClicked, this, &RunReport::openFolder);
    connect(action_, &QPushButton::clicked, this, [this] {
        if (act_) act_();
        if (mode_ == Mode::Preview) close();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(summary, this);
    label->setObjectName(QStringLiteral("Summary"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addWidget(folders_);
    layout->addWidget(filter_);
    if (showPassedOver_ != nullptr) layout->addWidget(showPassedOver_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
}

void RunReport::setTaskFolders(const TaskRecord& record) {
    const QString source = QString::fromStdString(record.sourceFolder);
    const QString target =
        placesEntries(record.action) ? QString::fromStdString(record.targetFolder) : QString();
    static_cast<RowModel*>(proxy_->sourceModel())->setFolders(source, target);
    QStringList lines;
    if (!source.isEmpty())
        lines << QStringLiteral("Source folder: %1").arg(escapedControls(source));
    if (!target.isEmpty())
        lines << QStringLiteral("Target folder: %1").arg(escapedControls(target));
    folders_->setText(lines.join(QLatin1Char('\n')));
    folders_->setVisible(!lines.isEmpty());
}

void RunReport::setPassedOverTotal(std::size_t total) {
    if (showPassedOver_ == nullptr) return;
    const auto* rows = static_cast<const RowModel*>(proxy_->sourceModel());
    showPassedOver_->setText(passedOverCaption(rows->passedOverCount(), total));
}

void RunReport::setFolderOpener(std::function<void(const QString&)> open) {
    openFolder_ = std::move(open);
}

void RunReport::setAction(std::function<void()> act) {
    act_ = std::move(act);
    action_->setEnabled(static_cast<bool>(act_));
}

QAbstractItemModel* RunReport::shownRows() const {
    return proxy_;
}

void RunReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        fitStatusColumn();
    }
}

// Sized once, when the window's width is known: a reason as long as a path would otherwise
// push the paths out of sight.
void RunReport::fitStatusColumn() {
    QHeaderView* header = view_->header();
    const QAbstractItemView* cells = view_;  // QTreeView hides it, QAbstractItemView offers it
    const int wanted =
        std::max(cells->sizeHintForColumn(StatusColumn), header->sectionSizeHint(StatusColumn));
    const int most = static_cast<int>(view_->viewport()->width() * kStatusShare);
    header->resizeSection(StatusColumn,
                          std::max(std::min(wanted, most), header->sectionSizeHint(StatusColumn)));
}

// The entry is where the run left it: at its target when there is one and it is there.
void RunReport::openFolder() {
    const QModelIndex current = proxy_->mapToSource(view_->currentIndex());
    if (!current.isValid() || !openFolder_) return;
    const ReportRow& row = static_cast<const RowModel*>(proxy_->sourceModel())->at(current.row());
    const QString entry =
        !row.target.isEmpty() && QFileInfo::exists(row.target) ? row.target : row.source;
    openFolder_(QFileInfo(entry).absolutePath());
}

// Written whole or not at all, as the program's own files are.
void RunReport::saveCsv() {
    QString name = windowTitle();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    const QString path = chooseFile_(this, QDir::home().filePath(name + QStringLiteral(".csv")));
    if (path.isEmpty()) return;
    const std::string error = systemFileIo().replace(path.toStdString(), rowsAsCsv(*proxy_));
    if (!error.empty()) {
        showErrorBox(
            this,
            QStringLiteral("Cannot save \"%1\". %2").arg(path, QString::fromStdString(error)));
    }
}

}  // namespace kestrune::ui
