// The editor's conditions and templates: what it refuses, what it writes, and the example of
// where an entry goes.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "test_unit2_fixture.h"

class TaskEditorConditionsTest : public QObject {
    Q_OBJECT

  private:
    // A move of /home/ann/Desktop into /home/ann/Pictures.
    static void moveTask(EditorFixture& f) {
        f.settings.writeString("Desktop Tidy", "s_folder", "/home/ann/Desktop");
        f.settings.writeString("Desktop Tidy", "t_folder", "/home/ann/Pictures");
        f.settings.writeInteger("Desktop Tidy", "actions", 1);
    }

  private slots:
    // A value a run could not read keeps the editor open with the reason, at the field that
    // holds it, and the file as it was; mended, it saves.
    void unreadableValuesAreRefusedAtTheirField() {
        EditorFixture f;
        moveTask(f);
        struct Case {
            const char* field;
            const char* text;
            const char* reason;  // the start of what the editor says
        };
        const Case cases[] = {
            {"Edit12", "{when} {name}", "Rename to: "},
            {"Edit11", "{year}/..", "Subfolder: "},
            {"Edit7", "99999999999999999999",
             "Size at least: \"99999999999999999999M\" is no size"},
            {"Edit10", "3x", "Newer than: \"3xd\" is no time span"},
        };
        for (const Case& c : cases) {
            f.open();
            const QByteArray before = f.fileContent();
            auto* box = f.control<QLineEdit>(c.field);
            box->setText(QString::fromLatin1(c.text));
            f.clickOk();
            QVERIFY2(f.editor.isVisible(), c.field);
            const QString said = f.control<QLabel>("Label5")->text();
            QVERIFY2(said.startsWith(QLatin1String(c.reason)), qPrintable(said));
            QCOMPARE(f.editor.focusWidget(), box);
            QCOMPARE(f.fileContent(), before);
            box->clear();
            f.clickOk();
            QVERIFY(f.editor.isHidden());
        }

        // Each bound readable alone, the two together select nothing.
        f.open();
        f.control<QLineEdit>("Edit7")->setText(QStringLiteral("10"));
        f.control<QLineEdit>("Edit8")->setText(QStringLiteral("1"));
        f.clickOk();
        QVERIFY(f.editor.isVisible());
        QVERIFY(f.control<QLabel>("Label5")->text().contains(QStringLiteral("minsize is larger")));
        QCOMPARE(f.editor.focusWidget(), f.control<QLineEdit>("Edit7"));
        f.control<QComboBox>("ComboBox4")->setCurrentIndex(3);  // GiB
        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("minsize"), "10M");
        QCOMPARE(f.read("maxsize"), "1G");

        // A template delete and trash do not use cannot be mended, so it is kept as it is.
        f.settings.writeString("Desktop Tidy", "rename", "{when}");
        f.settings.writeInteger("Desktop Tidy", "actions", 4);
        f.open();
        QVERIFY(!f.control<QLineEdit>("Edit12")->isEnabled());
        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("rename"), "{when}");
    }

    // Every new key as entered reads back as a run reads it, and shows again as it was
    // entered. A value the user leaves alone is written back as it stands, also one the
    // number box and unit list cannot show.
    void everyNewKeyIsSavedAndReadBack() {
        EditorFixture f;
        moveTask(f);
        f.settings.writeString("Desktop Tidy", "olderthan", "2 W");
        f.settings.writeString("Desktop Tidy", "newerthan", "0x10");
        f.open();
        QCOMPARE(f.control<QLineEdit>("Edit9")->text(), QStringLiteral("2"));
        QCOMPARE(f.control<QComboBox>("ComboBox5")->currentText(), QStringLiteral("weeks"));
        QVERIFY(f.control<QLineEdit>("Edit10")->text().isEmpty());
        QVERIFY(f.control<QLineEdit>("Edit10")->placeholderText().contains(QStringLiteral("0x10")));
        f.control<QLineEdit>("Edit5")->setText(QStringLiteral("invoice*;*receipt*"));
        f.control<QLineEdit>("Edit6")->setText(QStringLiteral("drafts"));
        f.control<QLineEdit>("Edit7")->setText(QStringLiteral("500"));
        f.control<QComboBox>("ComboBox3")->setCurrentIndex(0);  // bytes
        f.control<QLineEdit>("Edit8")->setText(QStringLiteral("3"));
        f.control<QComboBox>("ComboBox4")->setCurrentIndex(1);  // KiB
        f.control<QComboBox>("ComboBox6")->setCurrentIndex(3);  // a unit alone changes nothing
        f.control<QCheckBox>("CheckBox4")->setChecked(true);
        f.control<QLineEdit>("Edit11")->setText(QStringLiteral("{year}/{month}"));
        f.control<QLineEdit>("Edit12")->setText(
            QStringLiteral("{year}-{month}-{day} {name}.{ext}"));
        // The kept value cannot be read: the editor says so until the user replaces it.
        f.clickOk();
        QVERIFY(f.editor.isVisible());
        QCOMPARE(f.editor.focusWidget(), f.control<QLineEdit>("Edit10"));
        f.control<QLineEdit>("Edit10")->setText(QStringLiteral("400"));
        f.clickOk();
        QVERIFY2(f.editor.isHidden(), qPrintable(f.control<QLabel>("Label5")->text()));

        const kestrune::TaskRecord record = *kestrune::readTaskRecord(f.settings, "Desktop Tidy");
        QCOMPARE(record.names, "invoice*;*receipt*");
        QCOMPARE(record.exclude, "drafts");
        QCOMPARE(record.minSize, "500");
        QCOMPARE(record.maxSize, "3K");
        QCOMPARE(record.olderThan, "2 W");
        QCOMPARE(record.newerThan, "400w");
        QVERIFY(record.filesOnly);
        QCOMPARE(record.subfolder, "{year}/{month}");
        QCOMPARE(record.rename, "{year}-{month}-{day} {name}.{ext}");

        f.open();
        QCOMPARE(f.control<QLineEdit>("Edit7")->text(), QStringLiteral("500"));
        QCOMPARE(f.control<QComboBox>("ComboBox3")->currentText(), QStringLiteral("bytes"));
        QCOMPARE(f.control<QComboBox>("ComboBox4")->currentText(), QStringLiteral("KiB"));
        QVERIFY(f.control<QCheckBox>("CheckBox4")->isChecked());
        const QByteArray saved = f.fileContent();
        f.clickOk();
        QCOMPARE(f.fileContent(), saved);

        // Cleared, each key is written empty, so that the run no longer takes it.
        f.open();
        for (const char* box :
             {"Edit5", "Edit6", "Edit7", "Edit8", "Edit9", "Edit10", "Edit11", "Edit12"}) {
            f.control<QLineEdit>(box)->clear();
        }
        f.control<QCheckBox>("CheckBox4")->setChecked(false);
        f.clickOk();
        kestrune::TaskRecord cleared = record;
        cleared.names = cleared.exclude = cleared.minSize = cleared.maxSize = cleared.olderThan =
            cleared.newerThan = cleared.subfolder = cleared.rename = "";
        cleared.filesOnly = false;
        QCOMPARE(*kestrune::readTaskRecord(f.settings, "Desktop Tidy"), cleared);
        QCOMPARE(f.read("filesonly"), "0");
        QCOMPARE(f.read("names"), "");
    }

    // The example and the live list show where entries go as the run would place them.
    void exampleShowsWhereTheFirstEntryGoes() {
        EditorFixture f;
        const QString source = f.folder.filePath(QStringLiteral("Desktop"));
        const QString target = f.folder.filePath(QStringLiteral("Pictures"));
        QVERIFY(QDir().mkpath(source + QStringLiteral("/old")));
        QFile report(source + QStringLiteral("/old/Report.PDF"));
        QVERIFY(report.open(QIODevice::WriteOnly));
        QVERIFY(report.setFileTime(QDateTime(QDate(2025, 3, 7), QTime(10, 0)),
                                   QFileDevice::FileModificationTime));
        report.close();
        f.settings.writeString("Desktop Tidy", "s_folder", source.toStdString());
        f.settings.writeString("Desktop Tidy", "t_folder", target.toStdString());
        f.settings.writeInteger("Desktop Tidy", "actions", 1);
        f.settings.writeInteger("Desktop Tidy", "sublevel", 0);
        f.settings.writeString("Desktop Tidy", "filters", "*.pdf");
        f.open();
        auto* example = f.control<QLabel>("Label16");
        auto* list = f.control<QTreeWidget>("ListBox1");
        QTRY_COMPARE(example->text(), QStringLiteral("Example: old/Report.PDF"));
        f.control<QLineEdit>("Edit11")->setText(QStringLiteral("{year}/{month}"));
        f.control<QLineEdit>("Edit12")->setText(
            QStringLiteral("{year}-{month}-{day} {name}.{ext}"));
        f.control<QCheckBox>("CheckBox1")->setChecked(false);  // flat
        QTRY_COMPARE(example->text(), QStringLiteral("Example: 2025/03/2025-03-07 Report.pdf"));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("old/Report.PDF"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("2025/03/2025-03-07 Report.pdf"));
        QVERIFY(!list->isColumnHidden(1));

        // A condition judged as a run judges it: the file is older than a day.
        f.control<QLineEdit>("Edit10")->setText(QStringLiteral("1"));  // newer than 1 day
        QTRY_COMPARE(f.control<QLabel>("Label6")->text(), QStringLiteral("Selects 0 entries"));
        QCOMPARE(example->text(), QStringLiteral("Example: no entry is selected"));

        f.control<QComboBox>("ComboBox1")->setCurrentIndex(4);  // trash: no target, no templates
        QTRY_VERIFY(list->isColumnHidden(1));
        QVERIFY(!f.control<QLineEdit>("Edit11")->isEnabled());
    }
};

QTEST_MAIN(TaskEditorConditionsTest)
#include "test_unit2_conditions.moc"
