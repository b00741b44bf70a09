// The task editor's show and save steps: what it shows of a record and what it writes back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "test_unit2_fixture.h"

class TaskEditorRecordTest : public QObject {
    Q_OBJECT

  private slots:
    void newTaskShowsDefaultsAndSavesEveryKey() {
        EditorFixture f;
        f.open();
        QCOMPARE(f.editor.windowTitle(), QStringLiteral("Task Editor"));
        QVERIFY(f.editor.isModal());
        QCOMPARE(f.control<QLineEdit>("Edit4")->text(), QStringLiteral("Desktop Tidy"));
        QVERIFY(f.control<QLineEdit>("Edit1")->text().isEmpty());
        QVERIFY(f.control<QLineEdit>("Edit2")->text().isEmpty());
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentText(), QStringLiteral("0"));
        QCOMPARE(f.control<QComboBox>("ComboBox1")->currentIndex(), 0);
        QVERIFY(f.control<QLineEdit>("Edit3")->text().isEmpty());
        QVERIFY(f.control<QCheckBox>("CheckBox1")->isEnabled());
        QVERIFY(f.control<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(!f.control<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(!f.control<QCheckBox>("CheckBox3")->isChecked());
        QCOMPARE(f.control<QSpinBox>("SpinEdit1")->text(), QStringLiteral("Never"));

        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("s_folder"), "");
        QCOMPARE(f.read("t_folder"), "");
        QCOMPARE(f.read("sublevel"), "1");
        QCOMPARE(f.read("actions"), "0");
        QCOMPARE(f.read("filters"), "");
        QCOMPARE(f.read("folderstruct"), "0");
        QCOMPARE(f.read("skipsame"), "0");
        QCOMPARE(f.read("watch"), "0");
        QCOMPARE(f.read("every"), "0");
        const QByteArray file = f.fileContent();
        qsizetype last = -1;
        for (const char* key : {"s_folder", "t_folder", "sublevel", "actions", "filters",
                                "folderstruct", "skipsame", "watch", "every"}) {
            const qsizetype at = file.indexOf(QByteArray(key) + '=');
            QVERIFY2(at > last, key);
            last = at;
        }
    }

    void fullRecordIsShownAndSavedUnchanged() {
        EditorFixture f;
        f.settings.writeString("Desktop Tidy", "s_folder", "/home/ann/Desktop");
        f.settings.writeString("Desktop Tidy", "t_folder", "/srv/archive");
        f.settings.writeInteger("Desktop Tidy", "sublevel", 4);
        f.settings.writeInteger("Desktop Tidy", "actions", 2);
        f.settings.writeString("Desktop Tidy", "filters", "*.txt;*.doc");
        f.settings.writeInteger("Desktop Tidy", "folderstruct", 1);
        f.settings.writeInteger("Desktop Tidy", "skipsame", 1);
        f.settings.writeInteger("Desktop Tidy", "watch", 1);
        f.settings.writeInteger("Desktop Tidy", "every", 90);
        const QByteArray before = f.fileContent();

        f.open();
        QCOMPARE(f.control<QLineEdit>("Edit1")->text(), QStringLiteral("/home/ann/Desktop"));
        QCOMPARE(f.control<QLineEdit>("Edit2")->text(), QStringLiteral("/srv/archive"));
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentText(), QStringLiteral("3"));
        QCOMPARE(f.control<QComboBox>("ComboBox1")->currentText(),
                 QStringLiteral("Copy to Target Folder"));
        QCOMPARE(f.control<QLineEdit>("Edit3")->text(), QStringLiteral("*.txt;*.doc"));
        QVERIFY(!f.control<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(f.control<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(f.control<QCheckBox>("CheckBox3")->isChecked());
        QCOMPARE(f.control<QSpinBox>("SpinEdit1")->value(), 90);

        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.fileContent(), before);

        f.open();
        f.control<QCheckBox>("CheckBox2")->setChecked(false);
        f.control<QCheckBox>("CheckBox3")->setChecked(false);
        f.control<QSpinBox>("SpinEdit1")->setValue(0);
        f.clickOk();
        QCOMPARE(f.read("skipsame"), "0");
        QCOMPARE(f.read("watch"), "0");
        QCOMPARE(f.read("every"), "0");
    }

    void checkBoxWritesFolderStructure() {
        EditorFixture f;
        f.open();
        f.control<QCheckBox>("CheckBox1")->setChecked(false);
        f.clickOk();
        QCOMPARE(f.read("folderstruct"), "1");
        f.open();
        QVERIFY(!f.control<QCheckBox>("CheckBox1")->isChecked());
        f.control<QCheckBox>("CheckBox1")->setChecked(true);
        f.clickOk();
        QCOMPARE(f.read("folderstruct"), "0");
    }

    void renameWritesNewSectionAndLeavesOldOne() {
        EditorFixture f;
        f.settings.writeString("Desktop Tidy", "s_folder", "/old");
        f.settings.writeInteger("Desktop Tidy", "actions", 3);
        f.open();
        f.control<QLineEdit>("Edit4")->setText(QStringLiteral("Downloads Sweep"));
        f.control<QLineEdit>("Edit1")->setText(QStringLiteral("/new"));
        f.clickOk();
        QCOMPARE(f.task()->text, "Downloads Sweep");
        QCOMPARE(f.read("s_folder", "Downloads Sweep"), "/new");
        QCOMPARE(f.read("actions", "Downloads Sweep"), "3");
        QCOMPARE(f.read("folderstruct", "Downloads Sweep"), "0");
        QCOMPARE(f.read("s_folder"), "/old");
        QCOMPARE(f.read("folderstruct"), "<absent>");
    }

    void depthListStoresItsIndex() {
        EditorFixture f;
        for (auto [item, stored] : {std::pair{"Unlimited", "0"}, {"9", "10"}, {"0", "1"}}) {
            f.open();
            auto* depth = f.control<QComboBox>("ComboBox2");
            depth->setCurrentIndex(depth->findText(QLatin1String(item)));
            f.clickOk();
            QCOMPARE(f.read("sublevel"), stored);
        }
    }

    // A value the lists cannot show is kept as stored until the user picks one.
    void outOfRangeValuesAreKeptUnlessPicked() {
        EditorFixture f;
        f.settings.writeInteger("Desktop Tidy", "actions", 7);
        f.settings.writeString("Desktop Tidy", "sublevel", "0x20");
        f.open();
        QCOMPARE(f.control<QComboBox>("ComboBox1")->currentIndex(), -1);
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentIndex(), -1);
        QVERIFY(!f.control<QLineEdit>("Edit2")->isEnabled());
        f.clickOk();
        QCOMPARE(f.read("actions"), "7");
        QCOMPARE(f.read("sublevel"), "0x20");

        f.open();
        f.control<QComboBox>("ComboBox1")->setCurrentIndex(3);
        f.clickOk();
        QCOMPARE(f.read("actions"), "3");
        QCOMPARE(f.read("sublevel"), "0x20");
        f.open();
        QCOMPARE(f.control<QComboBox>("ComboBox1")->currentIndex(), 3);
    }

    // A stored number is read as a run and kestrune-cli read it: one they read as no number
    // (here beyond the integer's range), or a missing key, counts as its default, and is
    // shown and saved as that.
    void numbersAreReadAsTheCommandLineReadsThem() {
        EditorFixture f;
        f.settings.writeString("Desktop Tidy", "sublevel", "99999999999999999999");
        f.settings.writeString("Desktop Tidy", "every", "-5");
        f.open();
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentText(), QStringLiteral("Unlimited"));
        f.clickOk();
        QCOMPARE(f.read("sublevel"), "0");
        QCOMPARE(f.read("every"), "0");
        kestrune::TreeNode* added = f.tree.AddTask(f.settings);  // no record: the editor's own
        f.open(added);
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentText(), QStringLiteral("0"));
        f.clickOk();
        f.settings.writeString("Tidy", "filters", "*.tmp");  // a record without "sublevel"
        f.tree.rename(added, "Tidy");
        f.open(added);
        QCOMPARE(f.control<QComboBox>("ComboBox2")->currentText(), QStringLiteral("Unlimited"));
    }

    void textThatIsNotUtf8SurvivesUnchanged() {
        EditorFixture f;
        const std::string latin1Folder = "/data/caf\xe9";
        f.settings.writeString("Desktop Tidy", "s_folder", latin1Folder);
        f.settings.writeString("Desktop Tidy", "filters", "*.\xe9t\xe9");
        f.open();
        f.clickOk();
        QCOMPARE(f.read("s_folder"), latin1Folder);
        QCOMPARE(f.read("filters"), "*.\xe9t\xe9");
    }

    void everyWayOfClosingSaves() {
        EditorFixture f;
        f.open();
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.tmp"));
        QVERIFY(f.editor.close());
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("filters"), "*.tmp");

        f.open();
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.bak"));
        QTest::keyClick(&f.editor, Qt::Key_Escape);
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("filters"), "*.bak");

        f.open();
        f.control<QLineEdit>("Edit3")->setText(QStringLiteral("*.log"));
        QTest::keyClick(f.control<QLineEdit>("Edit3"), Qt::Key_Return);
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("filters"), "*.log");
    }

    void editTaskReturnsWhenTheDialogCloses() {
        EditorFixture f;
        QTimer::singleShot(0, &f.editor, [&f] {
            f.control<QLineEdit>("Edit1")->setText(QStringLiteral("/home/ann"));
            f.clickOk();
        });
        f.editor.editTask(f.tree, f.task());
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("s_folder"), "/home/ann");
    }
};

QTEST_MAIN(TaskEditorRecordTest)
#include "test_unit2.moc"
