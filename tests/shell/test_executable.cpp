#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "store/settings_file.h"
#include "ui/window_test_support.h"

using kestrune::test::readBytes;

// The built kestrune, copied into a scratch folder so that the folder is its program folder,
// started as a user would start it (without a display: offscreen).
class TestExecutable : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QString file(const char* name) const { return folder() + QString::fromLatin1(name); }
    QString lockFile() const { return folder() + QStringLiteral("runtime/kestrune.lock"); }

    std::unique_ptr<QProcess> start() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder() + QStringLiteral("runtime"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->start(file("kestrune"), {});
        return process;
    }

    // True once some process holds the program's lock.
    bool lockHeld() const {
        const int fd = open(lockFile().toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        return held;
    }

    std::unique_ptr<QTemporaryDir> scratch_;

  private slots:
    void init() {
        scratch_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_EXE_PATH), file("kestrune")));
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("runtime")));
        QFile::setPermissions(folder() + QStringLiteral("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void cleanup() { scratch_.reset(); }

    // A second start ends at once with code 0 and touches nothing; the first one, ended by
    // SIGTERM, still saves the tree and its position.
    void secondInstanceEndsSilentlyAndTermSavesTheFirst() {
        auto first = start();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 20000);
        auto second = start();
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAllStandardError().isEmpty());
        QVERIFY(!QFile::exists(file("kestrune.dll")));
        first->terminate();
        QVERIFY(first->waitForFinished(20000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(readBytes(file("kestrune.dll")).size(), 26);
        kestrune::SettingsFile settings(file("Setting.cfg").toStdString());
        QCOMPARE(settings.readInteger("Settings", "frmx", -1), 230);
        QCOMPARE(settings.readInteger("Settings", "frmy", -1), 171);
    }

    // A SIGTERM the moment start-up has taken the lock, long before the window exists, is
    // held until the program can answer it: it ends through Exit and saves, not killed.
    void aTermDuringStartUpStillEndsWithTheSave() {
        auto first = start();
        while (!lockHeld() && first->state() != QProcess::NotRunning) usleep(200);
        first->terminate();
        QVERIFY(first->waitForFinished(20000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(readBytes(file("kestrune.dll")).size(), 26);
    }

    void aKilledInstanceLeavesNoLockBehind() {
        auto first = start();
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 20000);
        first->kill();
        QVERIFY(first->waitForFinished(20000));
        QVERIFY(!lockHeld());
        auto next = start();
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 20000);
        QCOMPARE(next->state(), QProcess::Running);
        next->terminate();
        QVERIFY(next->waitForFinished(20000));
    }

    // The report waits for the user; a SIGTERM ends it, and the code stays 1.
    void aBadTreeFileEndsWithCodeOneAndWritesNothing() {
        kestrune::test::writeBytes(file("kestrune.dll"), "A\r\n\t\tB\r\n");
        auto process = start();
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += process->readAllStandardError()).contains("Invalid level (2)"), 20000);
        process->terminate();
        QVERIFY(process->waitForFinished(20000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 1);
        QCOMPARE(readBytes(file("kestrune.dll")), QByteArray("A\r\n\t\tB\r\n"));
        QVERIFY(!QFile::exists(file("Setting.cfg")));
    }
};

QTEST_MAIN(TestExecutable)
#include "test_executable.moc"
