#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace kestrune::ui {

// A record's value of a number and a unit ("10M", "30d") in a number box and a unit list.
// What the user changes is written back as one would type it; what the user leaves alone is
// written back exactly as it was read, also a value the two cannot show (then kept, and said
// so in the box), so opening and closing the editor never alters a record.
class UnitField : public QObject {
    Q_OBJECT

  public:
    struct Unit {
        QString caption;  // "MiB"
        char letter;      // written after the number; 0 for none
        QString read;     // the letters read as this unit ("Mm")
    };

    // Fills the list with the units; the one of defaultLetter is picked while nothing is shown.
    UnitField(QLineEdit* number, QComboBox* unit, std::vector<Unit> units, char defaultLetter,
              QObject* parent = nullptr);

    void show(const std::string& stored);
    // Empty when the number box is empty.
    std::string toStore() const;
    QLineEdit* numberBox() const { return number_; }

  signals:
    void changed();

  private:
    QLineEdit* number_;
    QComboBox* unit_;
    std::vector<Unit> units_;
    int defaultUnit_ = 0;
    std::string stored_;
    bool numberTouched_ = false;  // changed since show()
    bool unitTouched_ = false;
    bool showing_ = false;
};

// The units of minsize and maxsize, and of olderthan and newerthan.
std::vector<UnitField::Unit> sizeUnits();
std::vector<UnitField::Unit> ageUnits();

}  // namespace kestrune::ui
