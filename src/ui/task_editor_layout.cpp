// The editor's controls and their layout. Every part takes the room its captions need in the
// desktop's font; the part above the warnings scrolls when the screen is too small for it, so
// the warnings and OK always show, whole, and nothing overlaps.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <initializer_list>
#include <limits>
#include <tuple>
#include <vector>

#include "ui/Unit2.h"
#include "ui/editor_controls.h"
#include "ui/table_cells.h"
#include "ui/unit_field.h"

using kestrune::ui::editor::makeControl;
using kestrune::ui::editor::makeLabel;

namespace {

// The live list keeps at least this many rows in sight; it takes any height beyond.
constexpr int kListRows = 5;
// Room kept for the window's frame and the desktop's panels when the editor first opens.
constexpr int kFrameAllowance = 48;

QToolButton* makeBrowseButton(QWidget* parent, const char* name, const char* hint) {
    auto* button = makeControl<QToolButton>(parent, name);
    button->setText(QStringLiteral("…"));
    button->setToolTip(QLatin1String(hint));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A scroll area that asks for the whole of its content: the editor opens showing everything
// the screen has room for, and scrolls only beyond that.
// Its width keeps room for the scroll bar, so that the bar never covers the form's right edge.
class FormArea : public QScrollArea {
  public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame + scrollBarWidth(), frame);
    }
    int scrollBarWidth() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent); }
};

}  // namespace

void TForm2::buildControls() {
    form_ = new FormArea(this);
    form_->setObjectName(QStringLiteral("EditorForm"));
    form_->setFrameShape(QFrame::NoFrame);
    form_->setWidgetResizable(true);
    form_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    form_->setFocusPolicy(Qt::NoFocus);  // the tab order runs through the controls only
    auto* content = new QWidget(form_);
    form_->setWidget(content);

    nameBox_ = makeControl<QLineEdit>(content, "Edit4");
    nameLabel_ = makeLabel(content, "Label4", "Task &Name :", nameBox_);
    QFont bold = nameLabel_->font();
    bold.setBold(true);
    nameLabel_->setFont(bold);

    foldersGroup_ = makeControl<QGroupBox>(content, "GroupBox1");
    foldersGroup_->setTitle(QStringLiteral("Folders"));
    sourceBox_ = makeControl<QLineEdit>(foldersGroup_, "Edit1");
    sourceLabel_ = makeLabel(foldersGroup_, "Label1", "&Source Folder:", sourceBox_);
    sourceBrowse_ = makeBrowseButton(foldersGroup_, "SpeedButton1", "Browse for the source folder");
    targetBox_ = makeControl<QLineEdit>(foldersGroup_, "Edit2");
    targetLabel_ = makeLabel(foldersGroup_, "Label2", "&Target Folder:", targetBox_);
    targetBrowse_ = makeBrowseButton(foldersGroup_, "SpeedButton2", "Browse for the target folder");
    depthList_ = makeControl<QComboBox>(foldersGroup_, "ComboBox2");
    depthList_->addItem(QStringLiteral("Unlimited"));
    for (int level = 0; level <= 9; ++level) depthList_->addItem(QString::number(level));
    depthLabel_ = makeLabel(foldersGroup_, "Label3", "Subfolders &Level:", depthList_);
    structureBox_ = makeControl<QCheckBox>(foldersGroup_, "CheckBox1");
    structureBox_->setText(QStringLiteral("&Remain Source Folder Structure"));

    actionsGroup_ = makeControl<QGroupBox>(content, "GroupBox2");
    actionsGroup_->setTitle(QStringLiteral("&Actions"));
    actionList_ = makeControl<QComboBox>(actionsGroup_, "ComboBox1");
    actionList_->addItems({QString(), QStringLiteral("Move to Target Folder"),
                           QStringLiteral("Copy to Target Folder"),
                           QStringLiteral("Delete these Files"), QStringLiteral("Move to Trash")});
    skipSameBox_ = makeControl<QCheckBox>(actionsGroup_, "CheckBox2");
    skipSameBox_->setText(
        QStringLiteral("S&kip files already at the target with the same content"));

    filtersGroup_ = makeControl<QGroupBox>(content, "GroupBox3");
    filtersGroup_->setTitle(QStringLiteral("&Filters"));
    filterBox_ = makeControl<QLineEdit>(filtersGroup_, "Edit3");
    filterBox_->setPlaceholderText(QStringLiteral("*.tmp;*.log"));

    buildConditions(content);
    buildPlacement(content);

    automaticGroup_ = makeControl<QGroupBox>(content, "GroupBox4");
    automaticGroup_->setTitle(QStringLiteral("Run A&utomatically"));
    watchBox_ = makeControl<QCheckBox>(automaticGroup_, "CheckBox3");
    watchBox_->setText(QStringLiteral("Run &when entries appear or change in the source folder"));
    everyBox_ = makeControl<QSpinBox>(automaticGroup_, "SpinEdit1");
    everyBox_->setRange(0, std::numeric_limits<int>::max());
    everyBox_->setSuffix(QStringLiteral(" minutes"));
    everyBox_->setSpecialValueText(QStringLiteral("Never"));
    everyLabel_ = makeLabel(automaticGroup_, "Label7", "Run &Every:", everyBox_);

    previewCount_ = makeControl<QLabel>(content, "Label6");
    previewList_ = makeControl<QTreeWidget>(content, "ListBox1");
    previewList_->setFocusPolicy(Qt::NoFocus);
    previewList_->setSelectionMode(QAbstractItemView::NoSelection);
    previewList_->setRootIsDecorated(false);
    previewList_->setUniformRowHeights(true);
    previewList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    previewList_->setHeaderLabels({QStringLiteral("Entry"), QStringLiteral("Target")});
    previewList_->header()->setSectionResizeMode(QHeaderView::Stretch);
    previewList_->setItemDelegate(new kestrune::ui::CellDelegate({0, 1}, previewList_));

    problemLabel_ = makeControl<QLabel>(this, "Label5");
    problemLabel_->setAlignment(Qt::AlignCenter);
    problemLabel_->setWordWrap(true);
    problemLabel_->setTextFormat(Qt::PlainText);
    QPalette warning = problemLabel_->palette();
    warning.setColor(QPalette::WindowText, Qt::darkRed);
    problemLabel_->setPalette(warning);

    okButton_ = makeControl<QPushButton>(this, "Button1");
    okButton_->setText(QStringLiteral("&OK"));
    okButton_->setDefault(true);

    // Where from and to, then what is selected, then when.
    const std::initializer_list<QWidget*> order{sourceBox_,    targetBox_,
                                                depthList_,    structureBox_,
                                                actionList_,   skipSameBox_,
                                                subfolderBox_, renameBox_,
                                                filterBox_,    namesBox_,
                                                excludeBox_,   minSize_->numberBox(),
                                                minSizeUnit_,  maxSize_->numberBox(),
                                                maxSizeUnit_,  olderThan_->numberBox(),
                                                olderUnit_,    newerThan_->numberBox(),
                                                newerUnit_,    filesOnlyBox_,
                                                watchBox_,     everyBox_,
                                                okButton_,     nameBox_};
    for (auto it = order.begin(); it + 1 != order.end(); ++it) setTabOrder(*it, *(it + 1));
}

void TForm2::placeControls() {
    auto* name = new QHBoxLayout;
    name->addWidget(nameLabel_);
    name->addWidget(nameBox_, 1);

    auto* folders = new QGridLayout(foldersGroup_);
    folders->addWidget(sourceLabel_, 0, 0);
    folders->addWidget(sourceBox_, 0, 1, 1, 2);
    folders->addWidget(sourceBrowse_, 0, 3);
    folders->addWidget(targetLabel_, 1, 0);
    folders->addWidget(targetBox_, 1, 1, 1, 2);
    folders->addWidget(targetBrowse_, 1, 3);
    folders->addWidget(depthLabel_, 2, 0);
    folders->addWidget(depthList_, 2, 1);
    folders->addWidget(structureBox_, 3, 1, 1, 3);
    folders->setColumnStretch(2, 1);

    auto* actions = new QVBoxLayout(actionsGroup_);
    actions->addWidget(actionList_);
    actions->addWidget(skipSameBox_);

    auto* filters = new QVBoxLayout(filtersGroup_);
    filters->addWidget(filterBox_);

    placeRules();

    auto* automatic = new QGridLayout(automaticGroup_);
    automatic->addWidget(watchBox_, 0, 0, 1, 3);
    automatic->addWidget(everyLabel_, 1, 0);
    automatic->addWidget(everyBox_, 1, 1);
    automatic->setColumnStretch(2, 1);

    previewList_->setMinimumHeight(kListRows * previewList_->fontMetrics().height() +
                                   previewList_->header()->sizeHint().height() +
                                   2 * previewList_->frameWidth());
    // Two columns: where from and to, and how placed; what is selected, and when.
    const auto column = [](std::initializer_list<QWidget*> parts) {
        auto* layout = new QVBoxLayout;
        for (QWidget* part : parts) layout->addWidget(part);
        layout->addStretch();
        return layout;
    };
    auto* columns = new QHBoxLayout;
    columns->addLayout(column({foldersGroup_, actionsGroup_, placementGroup_}), 1);
    columns->addLayout(column({filtersGroup_, conditionsGroup_, automaticGroup_}), 1);
    auto* content = new QVBoxLayout(form_->widget());
    content->setContentsMargins(0, 0, 0, 0);
    content->addLayout(name);
    content->addLayout(columns);
    content->addWidget(previewCount_);
    content->addWidget(previewList_, 1);

    auto* ok = new QHBoxLayout;
    ok->addStretch();
    ok->addWidget(okButton_);
    ok->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(form_, 1);
    outer->addWidget(problemLabel_);
    outer->addLayout(ok);

    // Narrower than its content the form would scroll sideways; lower it may.
    form_->setMinimumWidth(form_->widget()->minimumSizeHint().width() +
                           static_cast<FormArea*>(form_)->scrollBarWidth() +
                           2 * form_->frameWidth());
    form_->setMinimumHeight(previewList_->minimumHeight() + 2 * nameBox_->sizeHint().height());
    setSizeGripEnabled(true);
}

// The first size shows everything, as far as the screen has room; the user's own size, once
// given, is kept (WindowSizes).
void TForm2::fitToScreen() {
    QSize size = sizeHint();
    if (const QScreen* shownOn = screen()) {
        size = size.boundedTo(shownOn->availableSize() - QSize(0, kFrameAllowance));
    }
    resize(size.expandedTo(minimumSizeHint()));
}
