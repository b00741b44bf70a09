#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <string_view>

#include "ui/folder_chooser.h"
#include "ui/stored_text.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

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
}

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
    void placeControls();
    void fitToScreen();
    void bindHandlers();
    void bindPreview();
    // The live list of what the task as entered selects, and the warnings about it.
    void entriesChanged();
    void showPreview(const kestrune::SelectionPreview& preview);
    void showProblem(const QString& problem);

    void showRecord(kestrune::TaskTree& tree, kestrune::TreeNode* node);
    void showListValue(const kestrune::SettingsSnapshot& file, QComboBox* list, KeptValue& kept,
                       std::string_view key, int value);
    void followAction();
    void browse(QLineEdit* box);
    bool entriesAccepted();
    QString saveRecord();
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
    QGroupBox* automaticGroup_ = nullptr;
    QCheckBox* watchBox_ = nullptr;
    QLabel* everyLabel_ = nullptr;
    QSpinBox* everyBox_ = nullptr;
    QLabel* previewCount_ = nullptr;
    QListWidget* previewList_ = nullptr;
    kestrune::ui::SelectionPreviewer* previewer_ = nullptr;
    QLabel* problemLabel_ = nullptr;
    bool refused_ = false;  // the label shows why a close was refused
    QPushButton* okButton_ = nullptr;
};
