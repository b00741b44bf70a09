#pragma once

#include <QDialog>

// The About box: the program icon, name and version, and the web address.
class TForm3 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm3(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool centred_ = false;
};
