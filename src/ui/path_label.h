#pragma once

#include <QLabel>

namespace kestrune::ui {

// A caption and a path on one line: the path is shortened to the width as the tables shorten
// theirs (the file name stays in sight), whole in the tooltip, so a long path never widens
// the window it is in.
class PathLabel : public QLabel {
    Q_OBJECT

  public:
    explicit PathLabel(QWidget* parent = nullptr);

    // The caption followed by the path; a path of "" shows the caption alone.
    void setPath(const QString& caption, const QString& path);
    const QString& path() const { return path_; }
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fit();

    QString caption_;
    QString path_;
};

}  // namespace kestrune::ui
