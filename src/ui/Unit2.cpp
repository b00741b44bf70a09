#include "ui/Unit2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <array>

#include "run/plan/task_rules.h"
#include "store/errors.h"
#include "store/settings_file.h"
#include "store/task_record.h"
#include "store/task_tree.h"
#include "ui/error_box.h"
#include "ui/task_entry_checks.h"
#include "ui/unit_field.h"

namespace keys = kestrune::keys;

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
                   Qt::WindowCloseButtonHint);
    setModal(true);
    buildControls();
    placeControls();
    bindHandlers();
    bindPreview();
    followAction();
    fitToScreen();
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

bool TForm2::editTask(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    showRecord(tree, node);
    return exec() == QDialog::Accepted;
}

void TForm2::openTask(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    showRecord(tree, node);
    show();
}

// The record as a run and kestrune-cli read it, from one reading of the file: a value they read
// otherwise than it stands (not a number, out of range) is shown, and saved, as they read it.
// A new task without a record starts from the editor's own defaults.
void TForm2::showRecord(kestrune::TaskTree& tree, kestrune::TreeNode* node) {
    tree_ = &tree;
    node_ = node;
    const std::string& section = node->text;
    const kestrune::SettingsSnapshot file = settings_.snapshot();
    kestrune::TaskRecord record;
    if (file.sectionExists(section)) {
        record = kestrune::recordOf(file, section);
    } else {
        record.depthCode = kDefaultDepth;
        record.action = kDefaultAction;
    }
    nameBox_->setText(name_.show(section));
    sourceBox_->setText(source_.show(record.sourceFolder));
    targetBox_->setText(target_.show(record.targetFolder));
    showListValue(file, depthList_, keptDepth_, keys::kDepth, record.depthCode);
    showListValue(file, actionList_, keptAction_, keys::kAction, record.action);
    filterBox_->setText(filters_.show(record.filters));
    namesBox_->setText(names_.show(record.names));
    excludeBox_->setText(exclude_.show(record.exclude));
    minSize_->show(record.minSize);
    maxSize_->show(record.maxSize);
    olderThan_->show(record.olderThan);
    newerThan_->show(record.newerThan);
    filesOnlyBox_->setChecked(record.filesOnly);
    subfolderBox_->setText(subfolder_.show(record.subfolder));
    renameBox_->setText(rename_.show(record.rename));
    shown_ = record;
    structureBox_->setChecked(!record.flat);
    skipSameBox_->setChecked(record.skipSame);
    watchBox_->setChecked(record.watch);
    everyBox_->setValue(record.everyMinutes);
    followAction();
    problemLabel_->clear();
    refused_ = false;
    previewList_->clear();  // never another task's entries while this one's are walked
    previewCount_->clear();
    entriesChanged();
    sourceBox_->setFocus();
}

// A number the list has no item for is kept as it stands in the file.
void TForm2::showListValue(const kestrune::SettingsSnapshot& file, QComboBox* list, KeptValue& kept,
                           std::string_view key, int index) {
    const bool listed = index >= 0 && index < list->count();
    kept = listed ? std::nullopt : std::optional(file.readString(node_->text, key, ""));
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
    // A new task has no action yet: the user learns why the box takes no input.
    targetBox_->setPlaceholderText(usesTarget ? QString()
                                              : QStringLiteral("Used by Move and Copy"));
    skipSameBox_->setEnabled(usesTarget);
    placementGroup_->setEnabled(usesTarget);  // delete and trash place nothing
}

void TForm2::browse(QLineEdit* box) {
    const QString chosen = chooser_(this, QStringLiteral("Select a Folder"), box->text());
    if (!chosen.isEmpty()) box->setText(chosen);
}

// A failed save never traps the user: the error box offers to try again, to go back to the
// editor, or to close it without saving (the node and its record stay as they were).
void TForm2::done(int result) {
    if (node_ == nullptr) {
        QDialog::done(result);
        return;
    }
    if (!entriesAccepted()) return;
    for (QString error = saveRecord(); !error.isEmpty(); error = saveRecord()) {
        switch (kestrune::ui::askAfterFailedSave(this, error)) {
            case kestrune::ui::AfterFailedSave::Retry:
                continue;
            case kestrune::ui::AfterFailedSave::Discard:
                closeEditor(QDialog::Rejected);
                return;
            case kestrune::ui::AfterFailedSave::Stay:
                problemLabel_->setText(QStringLiteral("Not saved: %1").arg(error));
                return;
        }
    }
    closeEditor(QDialog::Accepted);
}

void TForm2::closeEditor(int result) {
    node_ = nullptr;
    tree_ = nullptr;
    QDialog::done(result);
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
        Check{renameProblem(*tree_, node_, name), nameBox_},
        Check{folderProblem(QStringLiteral("source folder"), sourceBox_->text()), sourceBox_},
        Check{targetProblem, targetBox_},
        Check{lineBreakProblem(QStringLiteral("filters"), filterBox_->text()), filterBox_},
    };
    QLineEdit* rulesBox = nullptr;
    const QString rules = rulesProblem(rulesBox);
    for (const Check& check : checks) {
        if (check.problem.isEmpty()) continue;
        refuseAt(check.problem, check.box);
        return false;
    }
    if (!rules.isEmpty()) {
        refuseAt(rules, rulesBox);
        return false;
    }
    problemLabel_->clear();
    return true;
}

void TForm2::refuseAt(const QString& problem, QLineEdit* box) {
    showProblem(problem);
    if (box->isEnabled()) {
        box->setFocus();
        box->selectAll();
    }
}

// The record goes to the file whole, in one replace, and the node is renamed only after it
// has, so a failed save leaves the file and the node as they were. Returns the error, if any.
QString TForm2::saveRecord() {
    const std::string section = name_.toStore(nameBox_->text());
    kestrune::SettingsEdit edit;
    edit.writeString(section, keys::kSourceFolder, source_.toStore(sourceBox_->text()))
        .writeString(section, keys::kTargetFolder, target_.toStore(targetBox_->text()));
    addListValue(edit, section, keys::kDepth, depthList_, keptDepth_);
    addListValue(edit, section, keys::kAction, actionList_, keptAction_);
    edit.writeString(section, keys::kFilters, filters_.toStore(filterBox_->text()))
        .writeInteger(section, keys::kFolderStructure, structureBox_->isChecked() ? 0 : 1);
    addRules(edit, section);
    edit.writeInteger(section, keys::kSkipSame, skipSameBox_->isChecked() ? 1 : 0)
        .writeInteger(section, keys::kWatch, watchBox_->isChecked() ? 1 : 0)
        .writeInteger(section, keys::kEvery, everyBox_->value());
    try {
        settings_.apply(edit);
    } catch (const kestrune::Error& error) {
        return QString::fromStdString(error.what());
    }
    if (node_->text != section) tree_->rename(node_, section);
    return {};
}

void TForm2::addListValue(kestrune::SettingsEdit& edit, const std::string& section,
                          std::string_view key, const QComboBox* list, const KeptValue& kept) {
    if (list->currentIndex() < 0 && kept) {
        edit.writeString(section, key, *kept);
    } else {
        edit.writeInteger(section, key, list->currentIndex());
    }
}
