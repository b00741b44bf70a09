#include "ui/unit_field.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>

namespace kestrune::ui {

UnitField::UnitField(QLineEdit* number, QComboBox* unit, std::vector<Unit> units,
                     char defaultLetter, QObject* parent)
    : QObject(parent), number_(number), unit_(unit), units_(std::move(units)) {
    for (const Unit& each : units_) {
        if (each.letter == defaultLetter) defaultUnit_ = unit_->count();
        unit_->addItem(each.caption);
    }
    unit_->setCurrentIndex(defaultUnit_);
    connect(number_, &QLineEdit::textChanged, this, [this] {
        if (showing_) return;
        numberTouched_ = true;
        number_->setPlaceholderText(QString());
        emit changed();
    });
    connect(unit_, &QComboBox::currentIndexChanged, this, [this] {
        if (showing_) return;
        unitTouched_ = true;
        emit changed();
    });
}

// A whole number, blanks, and one of the units' letters or none: anything else the two
// controls cannot show.
void UnitField::show(const std::string& stored) {
    showing_ = true;
    stored_ = stored;
    numberTouched_ = false;
    unitTouched_ = false;
    static const QRegularExpression shape(QStringLiteral("^([0-9]+) *([A-Za-z]?)$"));
    const QString text = QString::fromStdString(stored);
    const QRegularExpressionMatch match = shape.match(text);
    int unit = -1;
    if (match.hasMatch()) {
        const QString letter = match.captured(2);
        for (std::size_t i = 0; i < units_.size() && unit < 0; ++i) {
            const bool none = letter.isEmpty() && units_[i].letter == 0;
            if (none || (!letter.isEmpty() && units_[i].read.contains(letter))) {
                unit = static_cast<int>(i);
            }
        }
    }
    const bool shown = stored.empty() || unit >= 0;
    number_->setText(shown ? match.captured(1) : QString());
    number_->setPlaceholderText(shown ? QString() : QStringLiteral("Kept as stored: %1").arg(text));
    unit_->setCurrentIndex(shown && unit >= 0 ? unit : defaultUnit_);
    showing_ = false;
    emit changed();
}

// A value kept as stored goes only when the number is changed: a unit picked alone has
// nothing to go with.
std::string UnitField::toStore() const {
    const QString number = number_->text().trimmed();
    if (!numberTouched_ && (!unitTouched_ || number.isEmpty())) return stored_;
    if (number.isEmpty()) return {};
    const char letter = units_[static_cast<std::size_t>(unit_->currentIndex())].letter;
    return (letter == 0 ? number : number + QLatin1Char(letter)).toStdString();
}

std::vector<UnitField::Unit> sizeUnits() {
    return {{QStringLiteral("bytes"), 0, {}},
            {QStringLiteral("KiB"), 'K', QStringLiteral("Kk")},
            {QStringLiteral("MiB"), 'M', QStringLiteral("Mm")},
            {QStringLiteral("GiB"), 'G', QStringLiteral("Gg")},
            {QStringLiteral("TiB"), 'T', QStringLiteral("Tt")}};
}

// "M" is not read as minutes: it could mean months.
std::vector<UnitField::Unit> ageUnits() {
    return {{QStringLiteral("minutes"), 'm', QStringLiteral("m")},
            {QStringLiteral("hours"), 'h', QStringLiteral("hH")},
            {QStringLiteral("days"), 'd', QStringLiteral("dD")},
            {QStringLiteral("weeks"), 'w', QStringLiteral("wW")}};
}

}  // namespace kestrune::ui
