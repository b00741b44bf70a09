#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <string>

#include "platform/instance_lock.h"

using kestrune::acquireInstanceLock;
using kestrune::InstanceLockResult;

class TestInstanceLock : public QObject {
    Q_OBJECT

  private:
    static std::string uniqueName(const char* what) {
        return std::string("kestrune-test-") + what + "-" + std::to_string(getpid());
    }

  private slots:
    void oneHolderPerName() {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QCOMPARE(acquireInstanceLock("kestrune"), InstanceLockResult::Acquired);
        QCOMPARE(acquireInstanceLock("kestrune"), InstanceLockResult::HeldElsewhere);
        QCOMPARE(acquireInstanceLock("other"), InstanceLockResult::Acquired);
        QVERIFY(QFile::exists(runtime.path() + QStringLiteral("/kestrune.lock")));
    }

    // Without a runtime folder the lock goes to a folder of the user's own, never to a place
    // where another user could take it first.
    void withoutRuntimeFolderUsesAPrivateFolder() {
        for (const char* runtime : {"", "relative/path"}) {
            if (*runtime == '\0') {
                qunsetenv("XDG_RUNTIME_DIR");
            } else {
                qputenv("XDG_RUNTIME_DIR", runtime);
            }
            const std::string name = uniqueName(*runtime == '\0' ? "unset" : "relative");
            QCOMPARE(acquireInstanceLock(name), InstanceLockResult::Acquired);
            QCOMPARE(acquireInstanceLock(name), InstanceLockResult::HeldElsewhere);
            const std::string folder = "/tmp/kestrune-" + std::to_string(geteuid());
            struct stat info {};
            QCOMPARE(lstat(folder.c_str(), &info), 0);
            QCOMPARE(info.st_mode & 077, 0u);
            QVERIFY(std::remove((folder + "/" + name + ".lock").c_str()) == 0);
        }
    }
};

QTEST_MAIN(TestInstanceLock)
#include "test_instance_lock.moc"
