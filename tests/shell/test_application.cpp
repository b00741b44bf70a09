#include <QTest>

#include "shell/application.h"
#include "store/errors.h"
#include "ui/window_test_support.h"

namespace {

// Throws from its event handler, as a command whose file write failed does.
class Failing : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw kestrune::SettingsWriteError("Unable to write to x");
        return QObject::event(event);
    }
};

}  // namespace

class TestApplication : public QObject {
    Q_OBJECT

  private slots:
    void errorsReachingTheEventLoopGoToTheErrorBox() {
        Failing failing;
        kestrune::test::ModalCloser closer;
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        QTRY_VERIFY(closer.seen());
        QCOMPARE(closer.text(), QStringLiteral("Unable to write to x."));
        QCOMPARE(closer.title(), QStringLiteral("Kestrune"));
    }

    void closingTheLastWindowDoesNotEndTheProgram() {
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
    }
};

int main(int argc, char** argv) {
    kestrune::shell::Application application(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
