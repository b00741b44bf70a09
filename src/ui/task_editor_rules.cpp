// The editor's conditions and templates: their controls, the check that refuses what a run
// could not read, and how they are written into the record.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

#include "run/plan/task_rules.h"
#include "store/settings_file.h"
#include "ui/Unit2.h"
#include "ui/editor_controls.h"
#include "ui/task_entry_checks.h"
#include "ui/unit_field.h"

namespace keys = kestrune::keys;
using kestrune::ui::editor::makeControl;
using kestrune::ui::editor::makeLabel;

namespace {

// A number box and its unit list, read and written together.
kestrune::ui::UnitField* makeUnitField(QWidget* parent, const char* numberName,
                                       const char* unitName,
                                       std::vector<kestrune::ui::UnitField::Unit> units,
                                       char defaultLetter, QComboBox*& unit) {
    auto* number = makeControl<QLineEdit>(parent, numberName);
    unit = makeControl<QComboBox>(parent, unitName);
    return new kestrune::ui::UnitField(number, unit, std::move(units), defaultLetter, parent);
}

}  // namespace

void TForm2::buildConditions(QWidget* content) {
    using kestrune::ui::ageUnits;
    using kestrune::ui::sizeUnits;
    conditionsGroup_ = makeControl<QGroupBox>(content, "GroupBox5");
    conditionsGroup_->setTitle(QStringLiteral("Conditions"));
    QWidget* group = conditionsGroup_;
    const QString patterns = QStringLiteral(
        "Name patterns separated by ;  * any characters, ? one character, [...] one of those");
    namesBox_ = makeControl<QLineEdit>(group, "Edit5");
    namesBox_->setPlaceholderText(QStringLiteral("invoice*;*receipt*"));
    namesBox_->setToolTip(QStringLiteral("Only entries whose whole name matches one.\n") +
                          patterns);
    namesLabel_ = makeLabel(group, "Label8", "In&clude names:", namesBox_);
    excludeBox_ = makeControl<QLineEdit>(group, "Edit6");
    excludeBox_->setPlaceholderText(QStringLiteral("drafts;*.bak"));
    excludeBox_->setToolTip(
        QStringLiteral("No entry that matches one, and no folder that matches is entered.\n") +
        patterns);
    excludeLabel_ = makeLabel(group, "Label9", "E&xclude names:", excludeBox_);

    minSize_ = makeUnitField(group, "Edit7", "ComboBox3", sizeUnits(), 'M', minSizeUnit_);
    minSizeLabel_ = makeLabel(group, "Label10", "Si&ze at least:", minSize_->numberBox());
    maxSize_ = makeUnitField(group, "Edit8", "ComboBox4", sizeUnits(), 'M', maxSizeUnit_);
    maxSizeLabel_ = makeLabel(group, "Label11", "S&ize at most:", maxSize_->numberBox());
    for (QWidget* unit : {minSizeUnit_, maxSizeUnit_}) {
        unit->setToolTip(QStringLiteral("1 KiB is 1024 bytes, 1 MiB 1024 KiB, and so on"));
    }
    olderThan_ = makeUnitField(group, "Edit9", "ComboBox5", ageUnits(), 'd', olderUnit_);
    olderLabel_ = makeLabel(group, "Label12", "Ol&der than:", olderThan_->numberBox());
    newerThan_ = makeUnitField(group, "Edit10", "ComboBox6", ageUnits(), 'd', newerUnit_);
    newerLabel_ = makeLabel(group, "Label13", "Newer t&han:", newerThan_->numberBox());
    olderThan_->numberBox()->setToolTip(
        QStringLiteral("Entries last modified at least that long ago"));
    newerThan_->numberBox()->setToolTip(
        QStringLiteral("Entries last modified less than that long ago"));
    filesOnlyBox_ = makeControl<QCheckBox>(group, "CheckBox4");
    filesOnlyBox_->setText(QStringLiteral("Files onl&y, never a folder"));
}

void TForm2::buildPlacement(QWidget* content) {
    placementGroup_ = makeControl<QGroupBox>(content, "GroupBox6");
    placementGroup_->setTitle(QStringLiteral("Placement"));
    QWidget* group = placementGroup_;
    const QString fields = QStringLiteral(
        "{year}, {month}, {day}: the entry's modification date; {ext}: its extension");
    subfolderBox_ = makeControl<QLineEdit>(group, "Edit11");
    subfolderBox_->setPlaceholderText(QStringLiteral("{year}/{month}"));
    subfolderBox_->setToolTip(QStringLiteral("Folders made below the target, / between them.\n") +
                              fields);
    subfolderLabel_ = makeLabel(group, "Label14", "Su&bfolder:", subfolderBox_);
    renameBox_ = makeControl<QLineEdit>(group, "Edit12");
    renameBox_->setPlaceholderText(QStringLiteral("{year}-{month}-{day} {name}.{ext}"));
    renameBox_->setToolTip(QStringLiteral("The entry's new name.\n") + fields +
                           QStringLiteral("; {name}: its name without the extension"));
    renameLabel_ = makeLabel(group, "Label15", "Rena&me to:", renameBox_);
    // Wrapped where a path allows it ("/"), so that a long one never widens the editor.
    exampleLabel_ = makeControl<QLabel>(group, "Label16");
    exampleLabel_->setTextFormat(Qt::PlainText);
    exampleLabel_->setWordWrap(true);
    exampleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TForm2::placeRules() {
    auto* conditions = new QGridLayout(conditionsGroup_);
    conditions->addWidget(namesLabel_, 0, 0);
    conditions->addWidget(namesBox_, 0, 1, 1, 2);
    conditions->addWidget(excludeLabel_, 1, 0);
    conditions->addWidget(excludeBox_, 1, 1, 1, 2);
    int row = 2;
    for (auto [label, field, unit] : {std::tuple{minSizeLabel_, minSize_, minSizeUnit_},
                                      {maxSizeLabel_, maxSize_, maxSizeUnit_},
                                      {olderLabel_, olderThan_, olderUnit_},
                                      {newerLabel_, newerThan_, newerUnit_}}) {
        conditions->addWidget(label, row, 0);
        conditions->addWidget(field->numberBox(), row, 1);
        conditions->addWidget(unit, row, 2);
        ++row;
    }
    conditions->addWidget(filesOnlyBox_, row, 1, 1, 2);
    conditions->setColumnStretch(1, 1);

    auto* placement = new QGridLayout(placementGroup_);
    placement->addWidget(subfolderLabel_, 0, 0);
    placement->addWidget(subfolderBox_, 0, 1);
    placement->addWidget(renameLabel_, 1, 0);
    placement->addWidget(renameBox_, 1, 1);
    placement->addWidget(exampleLabel_, 2, 0, 1, 2);
    placement->setColumnStretch(1, 1);
}

// A condition or template that a run could not read, at the field that holds it; then what
// the rules say of the values together (a minsize above the maxsize). A template is checked
// only while the action uses it: the user cannot mend it otherwise.
QString TForm2::rulesProblem(QLineEdit*& at) const {
    struct Field {
        std::string_view key;
        const QLabel* label;
        QLineEdit* box;
    };
    const std::array fields{
        Field{keys::kNames, namesLabel_, namesBox_},
        Field{keys::kExclude, excludeLabel_, excludeBox_},
        Field{keys::kMinSize, minSizeLabel_, minSize_->numberBox()},
        Field{keys::kMaxSize, maxSizeLabel_, maxSize_->numberBox()},
        Field{keys::kOlderThan, olderLabel_, olderThan_->numberBox()},
        Field{keys::kNewerThan, newerLabel_, newerThan_->numberBox()},
        Field{keys::kSubfolder, subfolderLabel_, subfolderBox_},
        Field{keys::kRename, renameLabel_, renameBox_},
    };
    const kestrune::TaskRecord entered = enteredRecord();
    for (const Field& field : fields) {
        if (!field.box->isEnabled()) continue;
        const std::string value = kestrune::valueOf(entered, field.key);
        QString problem =
            kestrune::ui::lineBreakProblem(QString::fromLatin1(field.key), field.box->text());
        if (problem.isEmpty()) {
            problem = QString::fromStdString(kestrune::valueProblem(field.key, value));
            if (!problem.isEmpty()) {
                problem = QString(field.label->text()).remove(QLatin1Char('&')) + QLatin1Char(' ') +
                          problem;
            }
        }
        if (problem.isEmpty()) continue;
        at = field.box;
        return problem;
    }
    const std::string together = kestrune::readRules(entered).problem;
    if (together.empty()) return {};
    // The field whose key the reason names first.
    std::size_t first = std::string::npos;
    for (const Field& field : fields) {
        const std::size_t named = together.find(field.key);
        if (named < first) {
            first = named;
            at = field.box;
        }
    }
    if (at == nullptr) at = minSize_->numberBox();
    return QStringLiteral("The task could not run: %1").arg(QString::fromStdString(together));
}

// The conditions and templates, in the order of the key table. A key that is not set and was
// not set before stays out of the record, so that opening and closing the editor leaves a
// record without them as it was.
void TForm2::addRules(kestrune::SettingsEdit& edit, const std::string& section) const {
    const auto& all = keys::kTaskKeys;
    const auto first = std::find(all.begin(), all.end(), keys::kNames);
    const auto last = std::find(all.begin(), all.end(), keys::kRename);
    const kestrune::TaskRecord entered = enteredRecord();
    const auto set = [](const kestrune::TaskRecord& record, std::string_view key) {
        const std::string value = kestrune::valueOf(record, key);
        return key == keys::kFilesOnly ? value == "1" : !value.empty();
    };
    for (auto key = first; key <= last; ++key) {
        if (set(entered, *key) || set(shown_, *key)) {
            edit.writeString(section, *key, kestrune::valueOf(entered, *key));
        }
    }
}
