#include "shell/application.h"

#include "ui/error_box.h"

namespace kestrune::shell {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // Closing the main window hides it; only Exit ends the program.
    setQuitOnLastWindowClosed(false);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ui::showErrorBox(activeWindow(), QString::fromStdString(error.what()));
    }
    return false;
}

}  // namespace kestrune::shell
