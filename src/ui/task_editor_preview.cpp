// The editor's live list of what the task as entered would select, where each entry would go,
// and its warnings, which point out what is unusual without refusing it.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include "run/editor/selection_preview.h"
#include "run/editor/task_warnings.h"
#include "store/integer_rule.h"
#include "ui/Unit2.h"
#include "ui/selection_previewer.h"
#include "ui/shown_text.h"
#include "ui/unit_field.h"

namespace {

constexpr int kEntryColumn = 0;
constexpr int kTargetColumn = 1;

}  // namespace

// The core's walk judges the record as a run would: every key that selects or places goes to it.
void TForm2::bindPreview() {
    previewer_ = new kestrune::ui::SelectionPreviewer(this);
    connect(previewer_, &kestrune::ui::SelectionPreviewer::ready, this, &TForm2::showPreview);
    for (QLineEdit* box :
         {sourceBox_, targetBox_, filterBox_, namesBox_, excludeBox_, subfolderBox_, renameBox_}) {
        connect(box, &QLineEdit::textChanged, this, &TForm2::entriesChanged);
    }
    for (QComboBox* list : {depthList_, actionList_}) {
        connect(list, &QComboBox::currentIndexChanged, this, &TForm2::entriesChanged);
    }
    for (kestrune::ui::UnitField* field : {minSize_, maxSize_, olderThan_, newerThan_}) {
        connect(field, &kestrune::ui::UnitField::changed, this, &TForm2::entriesChanged);
    }
    for (QCheckBox* box : {structureBox_, filesOnlyBox_}) {
        connect(box, &QCheckBox::toggled, this, &TForm2::entriesChanged);
    }
}

kestrune::TaskRecord TForm2::enteredRecord() const {
    kestrune::TaskRecord entered;
    entered.sourceFolder = source_.toStore(sourceBox_->text());
    entered.targetFolder = target_.toStore(targetBox_->text());
    // A stored value the list cannot show is what a run would use.
    const auto listValue = [](const QComboBox* list, const KeptValue& kept) {
        if (list->currentIndex() >= 0 || !kept) return list->currentIndex();
        return kestrune::parseStoredInteger(*kept).value_or(-1);
    };
    entered.depthCode = listValue(depthList_, keptDepth_);
    entered.action = listValue(actionList_, keptAction_);
    entered.filters = filters_.toStore(filterBox_->text());
    entered.flat = !structureBox_->isChecked();
    entered.skipSame = skipSameBox_->isChecked();
    entered.watch = watchBox_->isChecked();
    entered.everyMinutes = everyBox_->value();
    entered.names = names_.toStore(namesBox_->text());
    entered.exclude = exclude_.toStore(excludeBox_->text());
    entered.minSize = minSize_->toStore();
    entered.maxSize = maxSize_->toStore();
    entered.olderThan = olderThan_->toStore();
    entered.newerThan = newerThan_->toStore();
    entered.filesOnly = filesOnlyBox_->isChecked();
    entered.subfolder = subfolder_.toStore(subfolderBox_->text());
    entered.rename = rename_.toStore(renameBox_->text());
    return entered;
}

// Until the walk has counted, no number is shown: an old or a zero count would mislead.
void TForm2::entriesChanged() {
    refused_ = false;
    previewCount_->setText(QStringLiteral("Counting…"));
    previewer_->request(enteredRecord());
}

void TForm2::showPreview(const kestrune::SelectionPreview& preview) {
    previewList_->clear();
    const QString targetFolder = QString::fromStdString(target_.toStore(targetBox_->text()));
    const bool targets = !preview.targets.empty();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(preview.shown.size()));
    for (std::size_t i = 0; i < preview.shown.size(); ++i) {
        auto* item = new QTreeWidgetItem;
        const QString entry =
            kestrune::ui::escapedControls(QString::fromStdString(preview.shown[i]));
        item->setText(kEntryColumn, entry);
        item->setToolTip(kEntryColumn, entry);
        if (i < preview.targets.size()) {
            const QString target = QString::fromStdString(preview.targets[i]);
            item->setText(kTargetColumn, kestrune::ui::escapedControls(
                                             kestrune::ui::pathBelow(target, targetFolder)));
            item->setToolTip(kTargetColumn, kestrune::ui::escapedControls(target));
        }
        items << item;
    }
    previewList_->addTopLevelItems(items);
    previewList_->setColumnHidden(kTargetColumn, !targets);
    previewList_->setHeaderHidden(!targets);
    showExample(preview);

    const qsizetype total = static_cast<qsizetype>(preview.total);
    if (!preview.problem.empty()) {
        previewCount_->setText(QStringLiteral("Selects nothing while a value cannot be read"));
    } else if (preview.shown.size() < preview.total) {
        previewCount_->setText(QStringLiteral("Selects %1 entries; the first %2 are shown")
                                   .arg(total)
                                   .arg(preview.shown.size()));
    } else {
        previewCount_->setText(
            QStringLiteral("Selects %1 %2")
                .arg(total)
                .arg(total == 1 ? QStringLiteral("entry") : QStringLiteral("entries")));
    }

    if (refused_) return;
    QStringList warnings;
    if (!preview.problem.empty()) {
        warnings << QStringLiteral("The task could not run: %1")
                        .arg(QString::fromStdString(preview.problem));
    }
    for (const std::string& warning :
         kestrune::filterWarnings(filters_.toStore(filterBox_->text()))) {
        warnings << QString::fromStdString(warning);
    }
    for (const std::string& warning : preview.warnings) warnings << QString::fromStdString(warning);
    problemLabel_->setText(warnings.join(QLatin1Char('\n')));
}

// Where the first entry of the list would go, below the target folder: what the templates make
// of a real entry.
void TForm2::showExample(const kestrune::SelectionPreview& preview) {
    QString example = QStringLiteral("—");
    if (!placementGroup_->isEnabled() || !preview.problem.empty()) {
        // Delete and trash place nothing; a value that cannot be read places nothing either.
    } else if (preview.targets.empty()) {
        example = preview.shown.empty() ? QStringLiteral("no entry is selected")
                                        : QStringLiteral("no target folder yet");
    } else {
        const QString targetFolder = QString::fromStdString(target_.toStore(targetBox_->text()));
        example = kestrune::ui::escapedControls(
            kestrune::ui::pathBelow(QString::fromStdString(preview.targets.front()), targetFolder));
    }
    exampleLabel_->setText(QStringLiteral("Example: ") + example);
}

void TForm2::showProblem(const QString& problem) {
    refused_ = true;
    problemLabel_->setText(problem);
}
