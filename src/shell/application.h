#pragma once

#include <QApplication>

namespace kestrune::shell {

// The application object: every error that reaches the event loop is shown in the standard
// error box, and the program goes on.
class Application : public QApplication {
    Q_OBJECT

  public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kestrune::shell
