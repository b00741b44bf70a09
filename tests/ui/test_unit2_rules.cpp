// The task editor's rules: when the target box is open to input, the browse buttons, which
// entries keep it open, what a failed write does, and its keyboard order and layout.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>

#include "store/task_tree.h"
#include "test_unit2_fixture.h"

class TaskEditorRulesTest : public QObject {
    Q_OBJECT

  private slots:
    void targetBoxFollowsTheActionOfEachTask() {
        EditorFixture f;
        f.settings.writeInteger("Desktop Tidy", "actions", 3);
        f.open();
        auto* target = f.control<QLineEdit>("Edit2");
        auto* browse = f.control<QAbstractButton>("SpeedButton2");
        auto* skipSame = f.control<QAbstractButton>("CheckBox2");
        auto* actions = f.control<QComboBox>("ComboBox1");
        QVERIFY(!target->isEnabled());
        QVERIFY(!browse->isEnabled());
        QCOMPARE(actions->itemText(3), QStringLiteral("Delete these Files"));
        QCOMPARE(actions->itemText(4), QStringLiteral("Move to Trash"));
        for (auto [index, enabled] :
             {std::pair{1, true}, {0, false}, {2, true}, {3, false}, {4, false}}) {
            actions->setCurrentIndex(index);
            QCOMPARE(target->isEnabled(), enabled);
            QCOMPARE(browse->isEnabled(), enabled);
            QCOMPARE(skipSame->isEnabled(), enabled);
        }
        actions->setCurrentIndex(4);
        f.clickOk();
        QCOMPARE(f.read("actions"), "4");

        f.settings.writeInteger("Desktop Tidy", "actions", 0);
        f.open();
        QVERIFY(!target->isEnabled());
        f.clickOk();
        f.settings.writeInteger("Desktop Tidy", "actions", 1);
        f.open();
        QVERIFY(target->isEnabled());
        QVERIFY(browse->isEnabled());
    }

    void browseButtonsFillTheirBoxUnlessCancelled() {
        EditorFixture f;
        QString answer = QStringLiteral("/home/ann/Pictures");
        QString title;
        QString start;
        f.editor.setFolderChooser([&](QWidget*, const QString& t, const QString& s) {
            title = t;
            start = s;
            return answer;
        });
        f.settings.writeInteger("Desktop Tidy", "actions", 1);
        f.settings.writeString("Desktop Tidy", "t_folder", "/srv/old");
        f.open();
        QTest::mouseClick(f.control<QAbstractButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Select a Folder"));
        QCOMPARE(f.control<QLineEdit>("Edit1")->text(), answer);
        answer.clear();
        QTest::mouseClick(f.control<QAbstractButton>("SpeedButton2"), Qt::LeftButton);
        QCOMPARE(start, QStringLiteral("/srv/old"));
        QCOMPARE(f.control<QLineEdit>("Edit2")->text(), QStringLiteral("/srv/old"));
    }

    void refusedNamesKeepTheDialogOpenAndSayWhy() {
        EditorFixture f;
        for (const char* name : {"", " Leading Space", "Broken]Name"}) {
            if (kestrune::taskNameProblem(name).empty()) continue;
            f.open();
            const QByteArray before = f.fileContent();
            f.control<QLineEdit>("Edit4")->setText(QString::fromUtf8(name));
            f.clickOk();
            QVERIFY2(f.editor.isVisible(), name);
            QVERIFY(!f.control<QLabel>("Label5")->text().isEmpty());
            QCOMPARE(f.task()->text, "Desktop Tidy");
            QCOMPARE(f.fileContent(), before);
            f.control<QLineEdit>("Edit4")->setText(QStringLiteral("Tidy"));
            f.clickOk();
            QVERIFY(f.editor.isHidden());
            f.tree.rename(f.task(), "Desktop Tidy");
        }
        QVERIFY(!kestrune::taskNameProblem("").empty());
    }

    // Two nodes of one name share a record: a rename onto another task's name would write
    // this task's settings over that task's.
    void aNameThatAnotherTaskBearsIsRefused() {
        EditorFixture f;
        f.settings.writeString("Archive", "filters", "*.zip");
        f.tree.select(f.task());
        f.tree.rename(f.tree.AddTask(f.settings), "Archive");
        f.open();
        const QByteArray before = f.fileContent();
        f.control<QLineEdit>("Edit4")->setText(QStringLiteral("archive"));
        f.clickOk();
        QVERIFY(f.editor.isVisible());
        QVERIFY(f.control<QLabel>("Label5")->text().contains(QStringLiteral("archive")));
        QCOMPARE(f.fileContent(), before);
        QCOMPARE(f.task()->text, "Desktop Tidy");

        // A change of letter case keeps the task on its own record.
        f.control<QLineEdit>("Edit4")->setText(QStringLiteral("desktop tidy"));
        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.task()->text, "desktop tidy");
        QCOMPARE(f.read("filters", "Archive"), "*.zip");
    }

    void relativeFoldersAreRefused() {
        EditorFixture f;
        f.open();
        auto* problem = f.control<QLabel>("Label5");
        f.control<QLineEdit>("Edit1")->setText(QStringLiteral("Downloads"));
        f.clickOk();
        QVERIFY(f.editor.isVisible());
        QVERIFY(problem->text().contains(QStringLiteral("source folder")));
        QVERIFY(f.fileContent().isEmpty());

        f.control<QLineEdit>("Edit1")->setText(QStringLiteral("/home/ann/Downloads"));
        f.control<QComboBox>("ComboBox1")->setCurrentIndex(1);
        f.control<QLineEdit>("Edit2")->setText(QStringLiteral("archive/"));
        f.clickOk();
        QVERIFY(f.editor.isVisible());
        QVERIFY(problem->text().contains(QStringLiteral("target folder")));

        // A target the action does not use cannot be mended, so it is kept as it is.
        f.control<QComboBox>("ComboBox1")->setCurrentIndex(3);
        f.clickOk();
        QVERIFY(f.editor.isHidden());
        QCOMPARE(f.read("t_folder"), "archive/");

        f.open();
        QVERIFY(problem->text().isEmpty());
    }

    // A failing disk never traps the user: the error box offers to try again, to go back
    // to the editor (Escape), or to close it without saving. The file stays as it was.
    void failedSaveOffersRetryBackAndDiscard() {
        EditorFixture f;
        f.settings.writeString("Desktop Tidy", "s_folder", "/home/ann/old");
        const QByteArray before = f.fileContent();
        f.disk.failures = 100;
        f.open();
        f.control<QLineEdit>("Edit4")->setText(QStringLiteral("Renamed"));
        f.control<QLineEdit>("Edit1")->setText(QStringLiteral("/home/ann/new"));
        QStringList seen;
        answerMessageBoxes({QMessageBox::NoButton}, &seen);
        f.clickOk();
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen[0],
                 QStringLiteral("Unable to write to %1.").arg(QString::fromStdString(f.path)));
        QVERIFY(f.editor.isVisible());
        QVERIFY(f.control<QLabel>("Label5")->text().startsWith(QStringLiteral("Not saved")));
        QCOMPARE(f.task()->text, "Desktop Tidy");

        answerMessageBoxes({QMessageBox::Retry, QMessageBox::Discard}, &seen);
        f.clickOk();
        QTRY_COMPARE(seen.size(), 3);
        QTRY_VERIFY(f.editor.isHidden());
        QCOMPARE(f.task()->text, "Desktop Tidy");
        QCOMPARE(f.fileContent(), before);

        // Once the disk has room again, Retry saves.
        f.open();
        f.control<QLineEdit>("Edit4")->setText(QStringLiteral("Renamed"));
        f.disk.failures = 1;
        answerMessageBoxes({QMessageBox::Retry}, &seen);
        f.clickOk();
        QTRY_COMPARE(seen.size(), 4);
        QTRY_VERIFY(f.editor.isHidden());
        QCOMPARE(f.task()->text, "Renamed");
        QCOMPARE(f.read("s_folder", "Renamed"), "/home/ann/old");
    }

    // Where from and to, how placed, what is selected, when, then OK and the name.
    void tabOrderRunsThroughFoldersActionPlacementFiltersConditionsAutomaticOkThenName() {
        EditorFixture f;
        f.settings.writeInteger("Desktop Tidy", "actions", 1);
        f.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.editor));
        QCOMPARE(QApplication::focusWidget(), f.control<QWidget>("Edit1"));
        for (const char* next :
             {"Edit2",     "ComboBox2", "CheckBox1", "ComboBox1", "CheckBox2", "Edit11",
              "Edit12",    "Edit3",     "Edit5",     "Edit6",     "Edit7",     "ComboBox3",
              "Edit8",     "ComboBox4", "Edit9",     "ComboBox5", "Edit10",    "ComboBox6",
              "CheckBox4", "CheckBox3", "SpinEdit1", "Button1",   "Edit4",     "Edit1"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(next));
        }
    }

    // Alt and a letter reaches one control only: no two captions share their letter.
    void everyMnemonicIsTheOnlyOneOfItsLetter() {
        EditorFixture f;
        QStringList captions;
        for (const QLabel* label : f.editor.findChildren<QLabel*>()) {
            if (label->buddy() != nullptr) captions << label->text();
        }
        for (const QAbstractButton* button : f.editor.findChildren<QAbstractButton*>()) {
            captions << button->text();
        }
        for (const QGroupBox* group : f.editor.findChildren<QGroupBox*>()) {
            captions << group->title();
        }
        QMap<QChar, QString> taken;
        for (const QString& caption : captions) {
            const qsizetype at = QString(caption)
                                     .replace(QStringLiteral("&&"), QStringLiteral("__"))
                                     .indexOf(QLatin1Char('&'));
            if (at < 0) continue;
            const QChar letter = caption.at(at + 1).toLower();
            QVERIFY2(!taken.contains(letter),
                     qPrintable(caption + QStringLiteral(" and ") + taken.value(letter)));
            taken.insert(letter, caption);
        }
        QVERIFY(taken.size() >= 21);
    }

    // With a large desktop font the form grows so that every caption fits beside its box.
    void layoutGrowsWithTheFont() {
        const QFont original = QApplication::font();
        QFont large = original;
        large.setPointSize(20);
        QApplication::setFont(large);
        {
            EditorFixture f;
            f.open();
            QVERIFY(f.editor.width() > 394);
            for (auto [label, box] : {std::pair{"Label1", "Edit1"}, {"Label3", "ComboBox2"}}) {
                auto* caption = f.control<QLabel>(label);
                const QString shown = QString(caption->text()).remove(QLatin1Char('&'));
                const int needed = caption->fontMetrics().horizontalAdvance(shown);
                QVERIFY2(caption->x() + needed <= f.control<QWidget>(box)->x(), label);
            }
            auto* check = f.control<QCheckBox>("CheckBox1");
            QVERIFY(check->width() >= check->sizeHint().width());
            auto* ok = f.control<QWidget>("Button1");
            QVERIFY(ok->geometry().bottom() < f.editor.height());
        }
        QApplication::setFont(original);
    }
};

QTEST_MAIN(TaskEditorRulesTest)
#include "test_unit2_rules.moc"
