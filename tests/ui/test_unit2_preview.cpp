// The editor's live list of what the task as entered selects, and its warnings.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

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
        auto* list = f.control<QListWidget>("ListBox1");
        auto* count = f.control<QLabel>("Label6");
        f.control<QLineEdit>("Edit1")->setText(source);
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.txt"));
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 3 entries"));
        QCOMPARE(list->item(0)->text(), QStringLiteral("note0000.txt"));

        f.control<QComboBox>("ComboBox2")->setCurrentIndex(0);  // Unlimited
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 5 entries"));
        QCOMPARE(list->item(4)->text(), QStringLiteral("deeper/old0001.txt"));

        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.log"));
        QTRY_COMPARE(count->text(), QStringLiteral("Selects 600 entries; the first 500 are shown"));
        QCOMPARE(list->count(), 500);
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

QTEST_MAIN(TaskEditorPreviewTest)
#include "test_unit2_preview.moc"
