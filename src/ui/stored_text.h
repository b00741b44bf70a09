#pragma once

#include <QString>
#include <string>
#include <utility>

namespace kestrune::ui {

// A stored string as a box shows it. Bytes that do not survive the trip through QString (text
// that is not UTF-8) are written back exactly as they were read unless the user changed the box,
// so opening and closing the editor never alters a record.
class StoredText {
  public:
    QString show(std::string stored) {
        stored_ = std::move(stored);
        shown_ = QString::fromStdString(stored_);
        return shown_;
    }

    std::string toStore(const QString& boxText) const {
        return boxText == shown_ ? stored_ : boxText.toStdString();
    }

  private:
    std::string stored_;
    QString shown_;
};

}  // namespace kestrune::ui
