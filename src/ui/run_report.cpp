#include "ui/run_report.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrune::ui {

namespace {

enum Column { ActionColumn, SourceColumn, TargetColumn, StatusColumn, ColumnCount };

class RowModel final : public QAbstractTableModel {
  public:
    RowModel(ReportRows rows, QObject* parent)
        : QAbstractTableModel(parent), rows_(std::move(rows)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const ReportRow& row = at(index.row());
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return text(row, index.column());
        if (row.failed && role == Qt::ForegroundRole) return QColor(Qt::red);
        if (row.failed && role == Qt::DecorationRole && index.column() == ActionColumn) {
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const char* const captions[] = {"Action", "Source", "Target", "Status"};
        return QString::fromLatin1(captions[section]);
    }
    const ReportRow& at(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

  private:
    static QString text(const ReportRow& row, int column) {
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
    ReportRows rows_;
};

}  // namespace

RunReport::RunReport(Mode mode, const QString& title, const QString& summary, ReportRows rows,
                     QWidget* parent)
    : QDialog(parent), mode_(mode) {
    setObjectName(mode == Mode::Report ? QStringLiteral("RunReport")
                                       : QStringLiteral("RunPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    resize(720, 420);

    auto* model = new RowModel(std::move(rows), this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("Filter"));
    filter_->setPlaceholderText(QStringLiteral("Filter"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);

    view_ = new QTreeView(this);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);  // keeps a report of many thousand rows quick
    view_->setModel(proxy_);
    view_->header()->resizeSection(ActionColumn, 80);
    view_->header()->resizeSection(SourceColumn, 260);
    view_->header()->resizeSection(TargetColumn, 220);

    auto* buttons = new QDialogButtonBox(this);
    auto* open = buttons->addButton(QStringLiteral("Open Folder"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("OpenFolder"));
    action_ = buttons->addButton(
        mode == Mode::Report ? QStringLiteral("Undo This Run") : QStringLiteral("Run"),
        QDialogButtonBox::ActionRole);
    action_->setObjectName(mode == Mode::Report ? QStringLiteral("UndoThisRun")
                                                : QStringLiteral("RunPlan"));
    action_->setEnabled(false);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("Close"));
    connect(open, &QPushButton::clicked, this, &RunReport::openFolder);
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
    layout->addWidget(filter_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
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

// The entry is where the run left it: at its target when there is one and it is there.
void RunReport::openFolder() {
    const QModelIndex current = proxy_->mapToSource(view_->currentIndex());
    if (!current.isValid() || !openFolder_) return;
    const ReportRow& row = static_cast<const RowModel*>(proxy_->sourceModel())->at(current.row());
    const QString entry =
        !row.target.isEmpty() && QFileInfo::exists(row.target) ? row.target : row.source;
    openFolder_(QFileInfo(entry).absolutePath());
}

}  // namespace kestrune::ui
