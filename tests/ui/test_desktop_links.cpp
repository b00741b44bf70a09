#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ui/desktop_links.h"
#include "window_test_support.h"

// Our address goes to the desktop's xdg-open (here a stand-in first on PATH), and its
// failure, which Qt alone would never learn of, comes back as a refusal.
class TestDesktopLinks : public QObject {
    Q_OBJECT

  private slots:
    void xdgOpenFailingIsARefusal() {
        const struct {
            int exitCode;
            bool refused;
        } cases[] = {{0, false}, {3, true}, {4, true}};
        const QByteArray path = qgetenv("PATH");
        for (const auto& each : cases) {
            QTemporaryDir bin;
            kestrune::test::writeBytes(
                bin.filePath(QStringLiteral("xdg-open")),
                QStringLiteral(
                    "#!/bin/sh\nprintf %s \"$1\" > \"$(dirname \"$0\")/asked\"\nexit %1\n")
                    .arg(each.exitCode)
                    .toLocal8Bit());
            QFile::setPermissions(bin.filePath(QStringLiteral("xdg-open")),
                                  QFile::ReadOwner | QFile::ExeOwner);
            qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);

            QObject owner;
            bool refused = false;
            const QUrl address(QStringLiteral("https://example.org/page?v=1.0&x=a b"));
            kestrune::ui::openWithDesktop(&owner, address, [&] { refused = true; });
            QTRY_VERIFY(owner.findChildren<QProcess*>().isEmpty());
            qputenv("PATH", path);
            QCOMPARE(refused, each.refused);
            QCOMPARE(kestrune::test::readBytes(bin.filePath(QStringLiteral("asked"))),
                     address.toEncoded());
        }
    }
};

QTEST_MAIN(TestDesktopLinks)
#include "test_desktop_links.moc"
