// The editor's live list of what the task as entered would select, and its warnings, which
// point out what is unusual without refusing it.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "run/editor/selection_preview.h"
#include "run/editor/task_warnings.h"
#include "store/integer_rule.h"
#include "ui/Unit2.h"
#include "ui/selection_previewer.h"
#include "ui/shown_text.h"

void TForm2::bindPreview() {
    previewer_ = new kestrune::ui::SelectionPreviewer(this);
    connect(previewer_, &kestrune::ui::SelectionPreviewer::ready, this, &TForm2::showPreview);
    for (QLineEdit* box : {sourceBox_, targetBox_, filterBox_}) {
        connect(box, &QLineEdit::textChanged, this, &TForm2::entriesChanged);
    }
    for (QComboBox* list : {depthList_, actionList_}) {
        connect(list, &QComboBox::currentIndexChanged, this, &TForm2::entriesChanged);
    }
}

// Until the walk has counted, no number is shown: an old or a zero count would mislead.
void TForm2::entriesChanged() {
    refused_ = false;
    previewCount_->setText(QStringLiteral("Counting…"));
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
    previewer_->request(entered);
}

void TForm2::showPreview(const kestrune::SelectionPreview& preview) {
    previewList_->clear();
    for (const std::string& path : preview.shown) {
        const QString whole = QString::fromStdString(path);
        auto* item = new QListWidgetItem(kestrune::ui::escapedControls(whole), previewList_);
        item->setToolTip(item->text());
    }
    const qsizetype total = static_cast<qsizetype>(preview.total);
    previewCount_->setText(
        preview.shown.size() < preview.total
            ? QStringLiteral("Selects %1 entries; the first %2 are shown")
                  .arg(total)
                  .arg(preview.shown.size())
            : QStringLiteral("Selects %1 %2")
                  .arg(total)
                  .arg(total == 1 ? QStringLiteral("entry") : QStringLiteral("entries")));

    if (refused_) return;
    QStringList warnings;
    for (const std::string& warning :
         kestrune::filterWarnings(filters_.toStore(filterBox_->text()))) {
        warnings << QString::fromStdString(warning);
    }
    for (const std::string& warning : preview.warnings) warnings << QString::fromStdString(warning);
    problemLabel_->setText(warnings.join(QLatin1Char('\n')));
}

void TForm2::showProblem(const QString& problem) {
    refused_ = true;
    problemLabel_->setText(problem);
}
