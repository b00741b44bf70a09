#include "ui/Unit2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <array>

#include "store/errors.h"
#include "store/settings_file.h"
#include "store/task_tree.h"
#include "ui/error_box.h"
#include "ui/task_entry_checks.h"

namespace {

constexpr int kMoveAction = 1;
constexpr int kCopyAction = 2;
constexpr int kDefaultDepth = 1;  // "0": the source folder itself
constexpr int kDefaultAction = 0;

}  // namespace

TForm2::TForm2(kestrune::SettingsFile& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), chooser_(kestrune::ui::chooseDesktopFolder) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Task Editor"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    buildControls();
    placeControls();
    bindHandlers();
    bindPreview();
    followAction();
}

void TForm2::bindHandlers() {
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(sourceBrowse_, &QToolButton::clicked, this, [this] { browse(sourceBox_); });
    connect(targetBrowse_, &QToolButton::clicked, this, [this] { browse(targetBox_); });
    connect(actionList_, &QComboBox::currentIndexChanged, this, &TForm2::followAction);
}

void TForm2::setFolderChooser(kestrune::ui::FolderChooser chooser) {
    chooser_ = std::move(chooser);
}

void TForm2::editTask(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    showRecord(tree, node);
    exec();
}

void TForm2::openTask(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    showRecord(tree, node);
    show();
}

void TForm2::showRecord(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    tree_ = &tree;
    node_ = node;
    const std::string& section = node->text;
    nameBox_->setText(name_.show(section));
    sourceBox_->setText(source_.show(settings_.readString(section, "s_folder", "")));
    targetBox_->setText(target_.show(settings_.readString(section, "t_folder", "")));
    showListValue(depthList_, keptDepth_, "sublevel", kDefaultDepth);
    showListValue(actionList_, keptAction_, "actions", kDefaultAction);
    filterBox_->setText(filters_.show(settings_.readString(section, "filters", "")));
    structureBox_->setChecked(!settings_.readBool(section, "folderstruct", false));
    followAction();
    problemLabel_->clear();
    refused_ = false;
    previewList_->clear();  // never another task's entries while this one's are walked
    previewCount_->clear();
    entriesChanged();
    sourceBox_->setFocus();
}

void TForm2::showListValue(QComboBox* list, KeptValue& kept, const char* key, int fallback) {
    const std::string& section = node_->text;
    const int index = settings_.readInteger(section, key, fallback);
    const bool listed = index >= 0 && index < list->count();
    kept = listed ? std::nullopt : std::optional(settings_.readString(section, key, ""));
    list->setCurrentIndex(listed ? index : -1);
    list->setPlaceholderText(
        listed ? QString()
               : QStringLiteral("Kept as stored: %1").arg(QString::fromStdString(*kept)));
}

void TForm2::followAction() {
    const int action = actionList_->currentIndex();
    const bool usesTarget = action == kMoveAction || action == kCopyAction;
    targetBox_->setEnabled(usesTarget);
    targetBrowse_->setEnabled(usesTarget);
}

void TForm2::browse(QLineEdit* box) {
    const QString chosen = chooser_(this, QStringLiteral("Select a Folder"), box->text());
    if (!chosen.isEmpty()) box->setText(chosen);
}

void TForm2::done(int result) {
    if (node_ == nullptr) {
        QDialog::done(result);
        return;
    }
    if (!entriesAccepted() || !saveRecord()) return;
    node_ = nullptr;
    tree_ = nullptr;
    QDialog::done(QDialog::Accepted);
}

bool TForm2::entriesAccepted() {
    using namespace kestrune::ui;
    struct Check {
        QString problem;
        QLineEdit* box;
    };
    // The target is checked only while the action uses it: the user cannot mend it otherwise.
    const QString targetProblem =
        targetBox_->isEnabled()
            ? folderProblem(QStringLiteral("target folder"), targetBox_->text())
            : lineBreakProblem(QStringLiteral("target folder"), targetBox_->text());
    const std::string name = name_.toStore(nameBox_->text());
    const std::array checks{
        Check{nameProblem(name), nameBox_},
        Check{sharedNameProblem(*tree_, node_, name), nameBox_},
        Check{folderProblem(QStringLiteral("source folder"), sourceBox_->text()), sourceBox_},
        Check{targetProblem, targetBox_},
        Check{lineBreakProblem(QStringLiteral("filters"), filterBox_->text()), filterBox_},
    };
    for (const Check& check : checks) {
        if (check.problem.isEmpty()) continue;
        showProblem(check.problem);
        if (check.box->isEnabled()) {
            check.box->setFocus();
            check.box->selectAll();
        }
        return false;
    }
    problemLabel_->clear();
    return true;
}

// The record is written first and the node renamed only when every key has reached the file,
// so a failed write leaves the node naming its old, intact record.
bool TForm2::saveRecord() {
    const std::string section = name_.toStore(nameBox_->text());
    try {
        settings_.writeString(section, "s_folder", source_.toStore(sourceBox_->text()));
        settings_.writeString(section, "t_folder", target_.toStore(targetBox_->text()));
        writeListValue(section, "sublevel", depthList_, keptDepth_);
        writeListValue(section, "actions", actionList_, keptAction_);
        settings_.writeString(section, "filters", filters_.toStore(filterBox_->text()));
        settings_.writeInteger(section, "folderstruct", structureBox_->isChecked() ? 0 : 1);
    } catch (const kestrune::Error& error) {
        kestrune::ui::showErrorBox(this, QString::fromStdString(error.what()));
        return false;
    }
    if (node_->text != section) tree_->rename(node_, section);
    return true;
}

void TForm2::writeListValue(const std::string& section, const char* key, const QComboBox* list,
                            const KeptValue& kept) {
    if (list->currentIndex() < 0 && kept) {
        settings_.writeString(section, key, *kept);
    } else {
        settings_.writeInteger(section, key, list->currentIndex());
    }
}
