// The editor's live list of what the task as entered selects, and its warnings.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryFile>
#include <QTreeWidget>

#include "test_unit2_fixture.h"

class TaskEditorPreviewTest : public QObject {
    Q_OBJECT

  private:
    static void makeFiles(const QString& folder, const QString& pattern, int count) {
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QFile file(folder + QLatin1Char('/') + pattern.arg(i, 4, 10, QLatin1Char('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

  private slots:
    void listsWhatTheEntriesSelectAndCountsBeyondTheShownFew() {
        EditorFixture f;
        const QString source = f.folder.filePath(QStringLiteral("inbox"));
        makeFiles(source, QStringLiteral("note%1.txt"), 3);
        makeFiles(source, QStringLiteral("trace%1.log"), 600);
        makeFiles(source + QStringLiteral("/deeper"), QStringLiteral("old%1.txt"), 2);
        f.open();
        auto* list = f.control<QTreeWidget>("ListBox1");
        auto* count = f.control<QLabel>("Label6");
        f.control<QLineEdit>("Edit1")->setText(source);
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.txt"));
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 3 entries"));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("note0000.txt"));

        f.control<QComboBox>("ComboBox2")->setCurrentIndex(0);  // Unlimited
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 5 entries"));
        QCOMPARE(list->topLevelItem(4)->text(0), QStringLiteral("deeper/old0001.txt"));

        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.log"));
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 600 entries; the first 500 are shown"));
        QCOMPARE(list->topLevelItemCount(), 500);
    }

    // Every warning shows whole between the form and OK, also on an 800x600 screen (main()
    // gives the test one), where the form above them scrolls instead; the count waits for the
    // walk.
    void warningsShowWholeAt800By600() {
        EditorFixture f;
        auto* label = f.control<QLabel>("Label5");
        f.open();
        QVERIFY(QTest::qWaitForWindowExposed(&f.editor));
        QCOMPARE(f.editor.screen()->size(), QSize(800, 600));
        f.control<QLineEdit>("Edit1")->setText(f.folder.filePath(QStringLiteral("nowhere")));
        QCOMPARE(f.control<QLabel>("Label6")->text(), QStringLiteral("Counting…"));
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("tmp;*.a b;log,txt"));
        // The conditions and templates take their room above, and a template that cannot be
        // read says so among the warnings.
        f.control<QComboBox>("ComboBox1")->setCurrentIndex(1);
        f.control<QLineEdit>("Edit2")->setText(f.folder.filePath(QStringLiteral("sorted")));
        f.control<QLineEdit>("Edit5")->setText(QStringLiteral("invoice*"));
        f.control<QLineEdit>("Edit7")->setText(QStringLiteral("500"));
        f.control<QLineEdit>("Edit12")->setText(QStringLiteral("{when}"));
        QTRY_COMPARE(label->text().count(QLatin1Char('\n')), 4);
        QVERIFY(label->text().startsWith(QStringLiteral("The task could not run: its rename")));
        QVERIFY(f.editor.frameGeometry().width() <= 800);
        QTRY_VERIFY(label->height() >= label->heightForWidth(label->width()));
        const auto area = [&](const char* name) {
            const auto* widget = f.control<QWidget>(name);
            return QRect(widget->mapTo(&f.editor, QPoint()), widget->size());
        };
        QVERIFY(!area("Label5").intersects(area("EditorForm")));
        QVERIFY(!area("Label5").intersects(area("Button1")));
        QVERIFY(f.editor.frameGeometry().height() <= 600);
        QVERIFY(f.editor.rect().contains(area("Button1")));
    }

    void warnsWithoutRefusing() {
        EditorFixture f;
        auto* label = f.control<QLabel>("Label5");
        f.open();
        f.control<QLineEdit>("Edit1")->setText(f.folder.filePath(QStringLiteral("nowhere")));
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("tmp"));
        QTRY_VERIFY(!label->text().isEmpty());
        QCOMPARE(label->text(),
                 QStringLiteral("tmp selects every entry whose name has no dot; did you mean "
                                "*.tmp?\nThe source folder \"%1\" does not exist")
                     .arg(f.folder.filePath(QStringLiteral("nowhere"))));
        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("filters"), "tmp");
    }
};

// On a screen of 800x600, the smallest the editor must serve.
int main(int argc, char** argv) {
    QTemporaryFile screens;
    if (!screens.open()) return 1;
    screens.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800,
                                    "height": 600, "logicalDpi": 96}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    QApplication application(argc, argv);
    TaskEditorPreviewTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_unit2_preview.moc"
