// The editor's controls and their places. The geometry is drawn for an 8-point font; it
// grows evenly by the factor the desktop's font needs, so every caption fits and the form
// keeps its proportions.
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>
#include <initializer_list>
#include <limits>

#include "ui/Unit2.h"

namespace {

constexpr int kClientWidth = 394;
constexpr int kPreviewHeight = 144;  // the live list and its count, below the filters
// The group "Run Automatically" sits below the filters; what lies below moves down with it.
constexpr int kAutomaticTop = 336;
constexpr int kAutomaticHeight = 73;
constexpr int kAutomaticShift = kAutomaticHeight + 7;
constexpr int kBelowFilters = kAutomaticShift + kPreviewHeight;
constexpr int kClientHeight = 416 + kBelowFilters;
constexpr int kRowHeight = 21;   // edit boxes, lists and their labels
constexpr int kTextHeight = 13;  // the line height the geometry was drawn for
constexpr int kLabelWidth = 88;  // from a label's left edge to its box
constexpr int kLabelGap = 4;

template <class Widget>
Widget* makeControl(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = makeControl<QLabel>(parent, name);
    label->setText(QLatin1String(text));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QToolButton* makeBrowseButton(QWidget* parent, const char* name, const char* hint) {
    auto* button = makeControl<QToolButton>(parent, name);
    button->setText(QStringLiteral("…"));
    button->setToolTip(QLatin1String(hint));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// How much a size of the drawn geometry must grow for a widget's needs to fit it.
double growth(int needed, int given) {
    return static_cast<double>(needed) / given;
}

double labelGrowth(const QLabel* label) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + kLabelGap;
    return growth(needed, kLabelWidth);
}

double sizeGrowth(const QWidget* widget, int width, int height) {
    const QSize needed = widget->sizeHint();
    return std::max(growth(needed.width(), width), growth(needed.height(), height));
}

}  // namespace

void TForm2::buildControls() {
    nameLabel_ = makeLabel(this, "Label4", "Task Name :");
    QFont bold;
    bold.setBold(true);
    nameLabel_->setFont(bold);
    nameBox_ = makeControl<QLineEdit>(this, "Edit4");

    foldersGroup_ = makeControl<QGroupBox>(this, "GroupBox1");
    foldersGroup_->setTitle(QStringLiteral("Folders"));
    sourceLabel_ = makeLabel(foldersGroup_, "Label1", "Source Folder:");
    sourceBox_ = makeControl<QLineEdit>(foldersGroup_, "Edit1");
    sourceBrowse_ = makeBrowseButton(foldersGroup_, "SpeedButton1", "Browse for the source folder");
    targetLabel_ = makeLabel(foldersGroup_, "Label2", "Target Folder:");
    targetBox_ = makeControl<QLineEdit>(foldersGroup_, "Edit2");
    targetBrowse_ = makeBrowseButton(foldersGroup_, "SpeedButton2", "Browse for the target folder");
    depthLabel_ = makeLabel(foldersGroup_, "Label3", "Subfolders Level:");
    depthList_ = makeControl<QComboBox>(foldersGroup_, "ComboBox2");
    depthList_->addItem(QStringLiteral("Unlimited"));
    for (int level = 0; level <= 9; ++level) depthList_->addItem(QString::number(level));
    structureBox_ = makeControl<QCheckBox>(foldersGroup_, "CheckBox1");
    structureBox_->setText(QStringLiteral("Remain Source Folder Structure"));

    actionsGroup_ = makeControl<QGroupBox>(this, "GroupBox2");
    actionsGroup_->setTitle(QStringLiteral("Actions"));
    actionList_ = makeControl<QComboBox>(actionsGroup_, "ComboBox1");
    actionList_->addItems({QString(), QStringLiteral("Move to Target Folder"),
                           QStringLiteral("Copy to Target Folder"),
                           QStringLiteral("Delete these Files"), QStringLiteral("Move to Trash")});
    skipSameBox_ = makeControl<QCheckBox>(actionsGroup_, "CheckBox2");
    skipSameBox_->setText(QStringLiteral("Skip files already at the target with the same content"));

    filtersGroup_ = makeControl<QGroupBox>(this, "GroupBox3");
    filtersGroup_->setTitle(QStringLiteral("Filters"));
    filterBox_ = makeControl<QLineEdit>(filtersGroup_, "Edit3");
    filterBox_->setPlaceholderText(QStringLiteral("*.tmp;*.log"));

    automaticGroup_ = makeControl<QGroupBox>(this, "GroupBox4");
    automaticGroup_->setTitle(QStringLiteral("Run Automatically"));
    watchBox_ = makeControl<QCheckBox>(automaticGroup_, "CheckBox3");
    watchBox_->setText(QStringLiteral("Run when entries appear or change in the source folder"));
    everyLabel_ = makeLabel(automaticGroup_, "Label7", "Run Every:");
    everyBox_ = makeControl<QSpinBox>(automaticGroup_, "SpinEdit1");
    everyBox_->setRange(0, std::numeric_limits<int>::max());
    everyBox_->setSuffix(QStringLiteral(" minutes"));
    everyBox_->setSpecialValueText(QStringLiteral("Never"));

    previewCount_ = makeControl<QLabel>(this, "Label6");
    previewList_ = makeControl<QListWidget>(this, "ListBox1");
    previewList_->setFocusPolicy(Qt::NoFocus);
    previewList_->setSelectionMode(QAbstractItemView::NoSelection);
    previewList_->setUniformItemSizes(true);

    problemLabel_ = makeControl<QLabel>(this, "Label5");
    problemLabel_->setAlignment(Qt::AlignCenter);
    problemLabel_->setWordWrap(true);
    QPalette warning = problemLabel_->palette();
    warning.setColor(QPalette::WindowText, Qt::darkRed);
    problemLabel_->setPalette(warning);

    okButton_ = makeControl<QPushButton>(this, "Button1");
    okButton_->setText(QStringLiteral("OK"));
    okButton_->setDefault(true);

    for (auto [first, second] : {std::pair<QWidget*, QWidget*>{sourceBox_, targetBox_},
                                 {targetBox_, depthList_},
                                 {depthList_, structureBox_},
                                 {structureBox_, actionList_},
                                 {actionList_, skipSameBox_},
                                 {skipSameBox_, filterBox_},
                                 {filterBox_, watchBox_},
                                 {watchBox_, everyBox_},
                                 {everyBox_, okButton_},
                                 {okButton_, nameBox_}}) {
        setTabOrder(first, second);
    }
}

void TForm2::placeControls() {
    const double scale = std::max(
        {1.0, growth(fontMetrics().height(), kTextHeight), labelGrowth(nameLabel_),
         labelGrowth(sourceLabel_), labelGrowth(targetLabel_), labelGrowth(depthLabel_),
         sizeGrowth(nameBox_, 233, kRowHeight), sizeGrowth(sourceBrowse_, 23, 22),
         sizeGrowth(depthList_, 145, kRowHeight), sizeGrowth(structureBox_, 201, kRowHeight),
         sizeGrowth(actionList_, 249, kRowHeight), sizeGrowth(skipSameBox_, 353, kRowHeight),
         sizeGrowth(watchBox_, 353, kRowHeight), labelGrowth(everyLabel_),
         sizeGrowth(everyBox_, 145, kRowHeight), sizeGrowth(okButton_, 75, 25)});
    const auto place = [scale](QWidget* widget, int left, int top, int width, int height) {
        const auto grown = [scale](int size) { return static_cast<int>(size * scale + 0.5); };
        widget->setGeometry(grown(left), grown(top), grown(width), grown(height));
    };
    place(nameLabel_, 16, 16, kLabelWidth, kRowHeight);
    place(nameBox_, 104, 16, 233, kRowHeight);
    place(foldersGroup_, 8, 40, 377, 121);
    place(sourceLabel_, 8, 24, kLabelWidth, kRowHeight);
    place(sourceBox_, 96, 24, 233, kRowHeight);
    place(sourceBrowse_, 344, 24, 23, 22);
    place(targetLabel_, 8, 48, kLabelWidth, kRowHeight);
    place(targetBox_, 96, 48, 233, kRowHeight);
    place(targetBrowse_, 344, 48, 23, 22);
    place(depthLabel_, 8, 72, kLabelWidth, kRowHeight);
    place(depthList_, 96, 72, 145, kRowHeight);
    place(structureBox_, 96, 96, 201, kRowHeight);
    place(actionsGroup_, 8, 168, 377, 73);
    place(actionList_, 88, 24, 249, kRowHeight);
    place(skipSameBox_, 16, 48, 353, kRowHeight);
    place(filtersGroup_, 8, 248, 377, 81);
    place(filterBox_, 88, 32, 249, kRowHeight);
    place(automaticGroup_, 8, kAutomaticTop, 377, kAutomaticHeight);
    place(watchBox_, 16, 20, 353, kRowHeight);
    place(everyLabel_, 16, 44, kLabelWidth, kRowHeight);
    place(everyBox_, 104, 44, 145, kRowHeight);
    place(previewCount_, 8, 333 + kAutomaticShift, 377, kTextHeight + 4);
    place(previewList_, 8, 352 + kAutomaticShift, 377, kPreviewHeight - 24);
    place(problemLabel_, 8, 331 + kBelowFilters, 377, 27);
    place(okButton_, 160, 360 + kBelowFilters, 75, 25);
    setFixedSize(static_cast<int>(kClientWidth * scale + 0.5),
                 static_cast<int>(kClientHeight * scale + 0.5));
}

void TForm2::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    const bool restyled =
        event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange;
    if (restyled && okButton_ != nullptr) {
        placeControls();
    }
}
