#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <string_view>

#include "store/task_record.h"
#include "ui/folder_chooser.h"
#include "ui/stored_text.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class QTreeWidget;

namespace kestrune {
class SettingsEdit;
struct SelectionPreview;
class SettingsFile;
class SettingsSnapshot;
class TaskTree;
struct TreeNode;
}  // namespace kestrune

namespace kestrune::ui {
class SelectionPreviewer;
class UnitField;
}  // namespace kestrune::ui

// The task editor: names a task and sets its record. Created once, hidden, and reused.
// Every accepted close saves; a close is refused, with the reason shown in the dialog, while
// an entry cannot be stored or run. When the save fails the user may try again, go back to
// the dialog, or close it without saving.
class TForm2 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm2(kestrune::SettingsFile& settings, QWidget* parent = nullptr);

    // Shows the editor modally on a task node and returns when it is closed. A close saves:
    // the record is written under the name box's text, then the node is renamed through the tree.
    // False when the user closed it without saving, after a failed save.
    bool editTask(kestrune::TaskTree& tree, kestrune::TreeNode* node);

    // As editTask, but returns at once and leaves the dialog open (application-modal).
    void openTask(kestrune::TaskTree& tree, kestrune::TreeNode* node);

    // The folder chooser behind the browse buttons; the desktop's own by default.
    void setFolderChooser(kestrune::ui::FolderChooser chooser);

    // Every way of closing (OK, Enter, Escape, the close box) comes here and saves.
    void done(int result) override;

  private:
    // A list's stored value that lies outside the list: kept as stored unless the user picks.
    using KeptValue = std::optional<std::string>;

    void buildControls();
    void buildConditions(QWidget* content);
    void buildPlacement(QWidget* content);
    void placeControls();
    void placeRules();
    void fitToScreen();
    void bindHandlers();
    void bindPreview();
    // The live list of what the task as entered selects, and the warnings about it.
    void entriesChanged();
    void showPreview(const kestrune::SelectionPreview& preview);
    void showExample(const kestrune::SelectionPreview& preview);
    void showProblem(const QString& problem);
    // The task as the controls hold it, every key as a save would write it (a list's value
    // kept as stored as a run reads it).
    kestrune::TaskRecord enteredRecord() const;

    void showRecord(kestrune::TaskTree& tree, kestrune::TreeNode* node);
    void showListValue(const kestrune::SettingsSnapshot& file, QComboBox* list, KeptValue& kept,
                       std::string_view key, int value);
    void followAction();
    void browse(QLineEdit* box);
    bool entriesAccepted();
    void refuseAt(const QString& problem, QLineEdit* box);
    QString rulesProblem(QLineEdit*& at) const;
    QString saveRecord();
    void addRules(kestrune::SettingsEdit& edit, const std::string& section) const;
    void closeEditor(int result);
    static void addListValue(kestrune::SettingsEdit& edit, const std::string& section,
                             std::string_view key, const QComboBox* list, const KeptValue& kept);

    kestrune::SettingsFile& settings_;
    kestrune::ui::FolderChooser chooser_;
    kestrune::TaskTree* tree_ = nullptr;
    kestrune::TreeNode* node_ = nullptr;

    kestrune::ui::StoredText name_;
    kestrune::ui::StoredText source_;
    kestrune::ui::StoredText target_;
    kestrune::ui::StoredText filters_;
    kestrune::ui::StoredText names_;
    kestrune::ui::StoredText exclude_;
    kestrune::ui::StoredText subfolder_;
    kestrune::ui::StoredText rename_;
    kestrune::ui::UnitField* minSize_ = nullptr;
    kestrune::ui::UnitField* maxSize_ = nullptr;
    kestrune::ui::UnitField* olderThan_ = nullptr;
    kestrune::ui::UnitField* newerThan_ = nullptr;
    kestrune::TaskRecord shown_;  // the record as the editor opened on it
    KeptValue keptDepth_;
    KeptValue keptAction_;

    QScrollArea* form_ = nullptr;  // everything above the warnings and OK
    QLabel* nameLabel_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QGroupBox* foldersGroup_ = nullptr;
    QLabel* sourceLabel_ = nullptr;
    QLineEdit* sourceBox_ = nullptr;
    QToolButton* sourceBrowse_ = nullptr;
    QLabel* targetLabel_ = nullptr;
    QLineEdit* targetBox_ = nullptr;
    QToolButton* targetBrowse_ = nullptr;
    QLabel* depthLabel_ = nullptr;
    QComboBox* depthList_ = nullptr;
    QCheckBox* structureBox_ = nullptr;
    QGroupBox* actionsGroup_ = nullptr;
    QComboBox* actionList_ = nullptr;
    QCheckBox* skipSameBox_ = nullptr;
    QGroupBox* filtersGroup_ = nullptr;
    QLineEdit* filterBox_ = nullptr;
    QGroupBox* conditionsGroup_ = nullptr;
    QLabel* namesLabel_ = nullptr;
    QLineEdit* namesBox_ = nullptr;
    QLabel* excludeLabel_ = nullptr;
    QLineEdit* excludeBox_ = nullptr;
    QLabel* minSizeLabel_ = nullptr;
    QComboBox* minSizeUnit_ = nullptr;
    QLabel* maxSizeLabel_ = nullptr;
    QComboBox* maxSizeUnit_ = nullptr;
    QLabel* olderLabel_ = nullptr;
    QComboBox* olderUnit_ = nullptr;
    QLabel* newerLabel_ = nullptr;
    QComboBox* newerUnit_ = nullptr;
    QCheckBox* filesOnlyBox_ = nullptr;
    QGroupBox* placementGroup_ = nullptr;
    QLabel* subfolderLabel_ = nullptr;
    QLineEdit* subfolderBox_ = nullptr;
    QLabel* renameLabel_ = nullptr;
    QLineEdit* renameBox_ = nullptr;
    QLabel* exampleLabel_ = nullptr;  // where the first entry of the list would go
    QGroupBox* automaticGroup_ = nullptr;
    QCheckBox* watchBox_ = nullptr;
    QLabel* everyLabel_ = nullptr;
    QSpinBox* everyBox_ = nullptr;
    QLabel* previewCount_ = nullptr;
    QTreeWidget* previewList_ = nullptr;  // each entry, and its target for a move or copy
    kestrune::ui::SelectionPreviewer* previewer_ = nullptr;
    QLabel* problemLabel_ = nullptr;
    bool refused_ = false;  // the label shows why a close was refused
    QPushButton* okButton_ = nullptr;
};
