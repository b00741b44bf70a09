#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/Unit3.h"

class TestUnit3 : public QObject {
    Q_OBJECT

  private slots:
    void isLaidOutAsTheAboutBox() {
        TForm3 about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kestrune"));
        QCOMPARE(about.size(), QSize(320, 192));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        const auto* image = about.findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(image->geometry(), QRect(32, 24, 41, 41));
        QVERIFY(!image->pixmap().isNull());
        const auto* address = about.findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(address->pos(), QPoint(96, 40));
        QVERIFY(address->text().contains(QStringLiteral(KESTRUNE_WEB_HOST)));
        const auto* close = about.findChild<QPushButton*>(QStringLiteral("Button1"));
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QCOMPARE(close->geometry(), QRect(128, 160, 75, 25));
        QVERIFY(close->isDefault());
    }

    void showsNameAndVersionEachTimeAndCloses() {
        TForm3 about;
        auto* name = about.findChild<QLabel*>(QStringLiteral("Label1"));
        for (int i = 0; i < 2; ++i) {
            name->setText(QString());
            about.show();
            QCOMPARE(name->text(), QStringLiteral("Kestrune 1.0"));
            QCOMPARE(name->pos(), QPoint(96, 24));
            QVERIFY(name->font().bold());
            QTest::keyClick(&about, Qt::Key_Return);
            QVERIFY(about.isHidden());
        }
    }
};

QTEST_MAIN(TestUnit3)
#include "test_unit3.moc"
