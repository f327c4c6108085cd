// Tests of the options dialog driven offscreen: loading and storing the two options, closing
// without storing, changing the master password through the sign-in window, and what a screen
// reader hears.
#include "TestEnv.h"
#include "crypto/modFieldEncryption.h"
#include "data/CsvImport.h"
#include "data/clsPWD.h"
#include "platform/SettingsStore.h"
#include "ui/controls/modAccessibility.h"
#include "ui/dialogs/frmImport.h"
#include "ui/dialogs/frmOptions.h"
#include "ui/login/frmLogin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kMissing = u"<missing>"_s;
const QStringList kNames = {u"LockOnMinimize"_s, u"ShowNotesOwnColumn"_s};

// The two stored texts, "<missing>" for a value not stored.
QStringList stored()
{
    QStringList texts;
    for (const QString& name : kNames) {
        texts << SettingsStore::shared().GetStoredSetting(SettingsStore::ProductKeyPath(), name,
                                                          kMissing);
    }
    return texts;
}

void store(const QStringList& texts)
{
    for (int i = 0; i < 2; ++i) {
        if (texts[i] != kMissing) {
            SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(), kNames[i],
                                                      texts[i]);
        }
    }
}

QString ticks(const frmOptions& dlg)
{
    return QString::number(dlg.chkLockOnMinimize->isChecked()) +
           QString::number(dlg.chkShowNotes->isChecked());
}

enum Close { OkClick, EnterKey, CancelClick, EscKey, CloseBox };

void closeDialog(frmOptions& dlg, int how)
{
    if (how == OkClick || how == CancelClick) {
        QTest::mouseClick(how == OkClick ? dlg.cmdOK : dlg.cmdCancel, Qt::LeftButton);
    } else if (how == EnterKey) {
        // On a check box Enter presses the default button.
        dlg.chkShowNotes->setFocus();
        QTest::keyClick(dlg.chkShowNotes, Qt::Key_Return);
    } else if (how == EscKey) {
        QTest::keyClick(&dlg, Qt::Key_Escape);
    } else {
        dlg.close();
    }
}

// What one use of "Change Login Password..." met.
struct LoginUse
{
    QPointer<frmLogin> window;
    bool changeModeOverDialog = false;
    QString firstStep;
    bool currentAccepted = false;
};

// Clicks "Change Login Password..." and drives the sign-in window: types sCurrent; with sNew
// goes on to step 2 and types it twice, pressing Enter when bSave. The window is closed in any
// case, so a fault cannot leave the test waiting.
LoginUse useChangePassword(frmOptions& dlg, const QString& sCurrent, const QString& sNew = {},
                           bool bSave = false)
{
    auto use = std::make_shared<LoginUse>();
    QTimer::singleShot(0, &dlg, [use, owner = &dlg, sCurrent, sNew, bSave] {
        auto* login = qobject_cast<frmLogin*>(QApplication::activeModalWidget());
        if (!login) {
            return;
        }
        use->window = login;
        use->changeModeOverDialog = login->gbResetPassword && login->parentWidget() == owner;
        use->firstStep = login->lblMessage->text();
        QTest::sendKeyEvent(QTest::Click, login->txt[0], Qt::Key_unknown, sCurrent, {});
        use->currentAccepted = login->imgEnter->isVisible();
        if (!sNew.isEmpty()) {
            QTest::keyClick(login->txt[0], Qt::Key_Return);
            QTest::keyClicks(login->txt[0], sNew);
            QTest::keyClicks(login->txt[1], sNew);
            if (bSave) {
                QTest::keyClick(login->txt[1], Qt::Key_Return);
            }
        }
        if (use->window && use->window->isVisible()) {
            QTest::keyClick(use->window, Qt::Key_Escape);
        }
    });
    QTest::mouseClick(dlg.cmdReset, Qt::LeftButton);
    return *use;
}

} // namespace

class tst_Options : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before any window is shown: Qt keeps the first interface it made for a widget.
    void initTestCase() { modAccessibility::Install(); }

    // Tab goes through the window's first controls and its buttons, then through the rows added
    // below them from top to bottom, each with its name; the picture is silent.
    void screenReader()
    {
        TestEnv env;
        frmOptions dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(TestEnv::TabNames(dlg.cmdReset),
                 QStringList({"Change Login Password...", "Lock KeyCask when minimized",
                              "Show Notes in separate column", "OK", "Cancel",
                              "Clear copied password after", "Lock KeyCask after",
                              "Protect the data file with the master password", "Keep", "Restore…",
                              "Import…", "Export…", "Check passwords…"}));
        QCOMPARE(TestEnv::ImageNames(&dlg), QStringList{"(silent)"});
    }

    // Every control lies inside the window without covering another and fits its text.
    void layout()
    {
        TestEnv env;
        frmOptions dlg;
        const QList<QWidget*> parts = {
            dlg.imgEmail,           dlg.lblheader,         dlg.cmdReset,
            dlg.chkLockOnMinimize,  dlg.chkShowNotes,      dlg.picButtons,
            dlg.lblClearClipboard,  dlg.spnClearClipboard, dlg.lblClearClipboardUnit,
            dlg.lblIdleLock,        dlg.spnIdleLock,       dlg.lblIdleLockUnit,
            dlg.chkProtectFile,     dlg.lblKeepBackups,    dlg.spnKeepBackups,
            dlg.lblKeepBackupsUnit, dlg.cmdRestore,        dlg.cmdImport,
            dlg.cmdExport,          dlg.cmdCheckPasswords, dlg.lblAutoType,
            dlg.keyAutoType};
        for (QWidget* part : parts) {
            QVERIFY2(dlg.rect().contains(part->geometry()), qPrintable(part->objectName()));
            for (QWidget* other : parts) {
                QVERIFY2(part == other || !part->geometry().intersects(other->geometry()),
                         qPrintable(part->objectName() + u" covers "_s + other->objectName()));
            }
        }
        for (QWidget* w : {parts[1], parts[3], parts[4]}) {
            QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
                     qPrintable(w->objectName()));
        }
        // A caption (its mnemonic marker not shown) fits between the button's bevel margins.
        for (QPushButton* b : {dlg.cmdReset, dlg.cmdRestore, dlg.cmdImport, dlg.cmdExport,
                               dlg.cmdCheckPasswords, dlg.cmdOK, dlg.cmdCancel}) {
            QVERIFY2(b->fontMetrics().horizontalAdvance(QString(b->text()).remove(u'&')) + 12 <=
                             b->width() &&
                         b->height() >= b->sizeHint().height(),
                     qPrintable(b->objectName()));
        }
    }

    // The three number rows and the typing shortcut: they load the stored values (a value that is
    // no number or no single key shows the default; an empty shortcut is none), store on OK
    // only, and are kept within their limits.
    void numberRows_data()
    {
        QTest::addColumn<QString>("storedShortcut");
        QTest::addColumn<QString>("shownShortcut");
        QTest::addColumn<QString>("storedSeconds");
        QTest::addColumn<QString>("storedMinutes");
        QTest::addColumn<QString>("storedBackups");
        QTest::addColumn<int>("shownSeconds");
        QTest::addColumn<int>("shownMinutes");
        QTest::addColumn<int>("shownBackups");
        QTest::addColumn<bool>("ok");
        QTest::newRow("nothing stored, OK") << kMissing << u"Ctrl+Alt+A"_s << kMissing << kMissing
                                            << kMissing << 30 << 0 << 3 << true;
        QTest::newRow("stored, Cancel")
            << QString() << QString() << u"45"_s << u"7"_s << u"0"_s << 45 << 7 << 0 << false;
        QTest::newRow("no numbers, OK") << u"Ctrl+Shift+K"_s << u"Ctrl+Shift+K"_s << u"soon"_s
                                        << u"later"_s << u"many"_s << 30 << 0 << 3 << true;
        QTest::newRow("beyond the limits, OK") << u"Ctrl+A, B"_s << u"Ctrl+Alt+A"_s << u"99999"_s
                                               << u"-5"_s << u"21"_s << 30 << 0 << 3 << true;
    }

    void numberRows()
    {
        QFETCH(QString, storedSeconds);
        QFETCH(QString, storedMinutes);
        QFETCH(int, shownSeconds);
        QFETCH(int, shownMinutes);
        QFETCH(QString, storedBackups);
        QFETCH(int, shownBackups);
        QFETCH(bool, ok);
        QFETCH(QString, storedShortcut);
        QFETCH(QString, shownShortcut);
        TestEnv env;
        auto& settings = SettingsStore::shared();
        const QString key = SettingsStore::ProductKeyPath();
        if (storedShortcut != kMissing) {
            settings.SaveStoredSetting(key, u"AutoTypeShortcut"_s, storedShortcut);
        }
        if (storedSeconds != kMissing) {
            settings.SaveStoredSetting(key, u"ClearClipboardSeconds"_s, storedSeconds);
            settings.SaveStoredSetting(key, u"IdleLockMinutes"_s, storedMinutes);
            settings.SaveStoredSetting(key, u"KeepBackups"_s, storedBackups);
        }
        frmOptions dlg;
        QCOMPARE(dlg.spnClearClipboard->value(), shownSeconds);
        QCOMPARE(dlg.spnIdleLock->value(), shownMinutes);
        QCOMPARE(dlg.spnKeepBackups->value(), shownBackups);
        QCOMPARE(dlg.keyAutoType->keySequence().toString(), shownShortcut);
        // Only the first key of a sequence is the shortcut.
        dlg.keyAutoType->setKeySequence(QKeySequence(u"Alt+F9, X"_s));
        dlg.spnClearClipboard->setValue(12);
        dlg.spnIdleLock->setValue(3);
        dlg.spnKeepBackups->setValue(5);
        closeDialog(dlg, ok ? OkClick : CancelClick);
        const QString seconds =
            settings.GetStoredSetting(key, u"ClearClipboardSeconds"_s, kMissing);
        const QString minutes = settings.GetStoredSetting(key, u"IdleLockMinutes"_s, kMissing);
        QCOMPARE(seconds, ok ? u"12"_s : storedSeconds);
        QCOMPARE(minutes, ok ? u"3"_s : storedMinutes);
        QCOMPARE(settings.GetStoredSetting(key, u"KeepBackups"_s, kMissing),
                 ok ? u"5"_s : storedBackups);
        QCOMPARE(settings.GetStoredSetting(key, u"AutoTypeShortcut"_s, kMissing),
                 ok ? u"Alt+F9"_s : storedShortcut);
        QVERIFY(env.messages.isEmpty());
    }

    // The boxes show the stored options (a value that is no Boolean shows the default, the lock
    // ticked). OK and Enter write both as "1" or "0", changed or not; Cancel,
    // Esc and the close box store nothing.
    void loadAndClose_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("loaded"); // the two boxes, 1 ticked
        QTest::addColumn<QString>("toggle"); // l and n: the boxes clicked
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("after");
        const QStringList none = {kMissing, kMissing};
        QTest::newRow("nothing stored, OK")
            << none << u"10"_s << QString() << int(OkClick) << QStringList{u"1"_s, u"0"_s};
        QTest::newRow("-1 and True, OK rewrites them")
            << QStringList{u"-1"_s, u"True"_s} << u"11"_s << QString() << int(OkClick)
            << QStringList{u"1"_s, u"1"_s};
        QTest::newRow("first unreadable, OK")
            << QStringList{u"yes"_s, u"1"_s} << u"11"_s << QString() << int(OkClick)
            << QStringList{u"1"_s, u"1"_s};
        QTest::newRow("second unreadable, Cancel")
            << QStringList{u"1"_s, u"maybe"_s} << u"10"_s << QString() << int(CancelClick)
            << QStringList{u"1"_s, u"maybe"_s};
        QTest::newRow("both changed, OK") << QStringList{u"1"_s, u"0"_s} << u"10"_s << u"ln"_s
                                          << int(OkClick) << QStringList{u"0"_s, u"1"_s};
        QTest::newRow("notes changed, Enter")
            << none << u"10"_s << u"n"_s << int(EnterKey) << QStringList{u"1"_s, u"1"_s};
        QTest::newRow("changed, Cancel") << QStringList{u"-1"_s, kMissing} << u"10"_s << u"ln"_s
                                         << int(CancelClick) << QStringList{u"-1"_s, kMissing};
        QTest::newRow("changed, Esc") << QStringList{u"0"_s, u"1"_s} << u"01"_s << u"ln"_s
                                      << int(EscKey) << QStringList{u"0"_s, u"1"_s};
        QTest::newRow("changed, close box") << QStringList{kMissing, u"True"_s} << u"11"_s << u"l"_s
                                            << int(CloseBox) << QStringList{kMissing, u"True"_s};
    }

    void loadAndClose()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, loaded);
        QFETCH(QString, toggle);
        QFETCH(int, how);
        QFETCH(QStringList, after);
        TestEnv env;
        store(before);
        frmOptions dlg;
        QCOMPARE(ticks(dlg), loaded);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        if (toggle.contains(u'l')) {
            QTest::mouseClick(dlg.chkLockOnMinimize, Qt::LeftButton);
        }
        if (toggle.contains(u'n')) {
            QTest::mouseClick(dlg.chkShowNotes, Qt::LeftButton);
        }
        closeDialog(dlg, how);
        QVERIFY(!dlg.isVisible());
        const bool accepted = how == OkClick || how == EnterKey;
        QCOMPARE(dlg.result(), accepted ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(stored(), after);
        QVERIFY(env.messages.isEmpty());
    }

    // Import: the chosen file in the preview, columns chosen by hand for an unknown format,
    // passwords masked, the result; the dialog stays open. Export: asked first; No writes
    // nothing, Yes writes the chosen file.
    void importAndExport()
    {
        TestEnv env;
        TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        env.chosenFile = env.AppFolder() + u"/in.csv"_s;
        QFile in(env.chosenFile);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write("Site;Key;Who\nMail;pw 1;ann\nMail;pw 1;ann\nBank;pw 2;bob\n");
        in.close();
        frmOptions dlg;
        dlg.show();
        QStringList seen;
        QTimer::singleShot(0, &dlg, [&seen] {
            auto* preview = qobject_cast<frmImport*>(QApplication::activeModalWidget());
            if (!preview) {
                return;
            }
            seen << preview->lblCounts->text() << QString::number(preview->cmdImport->isEnabled());
            for (int field : {CsvImport::Title, CsvImport::Password, CsvImport::UserName}) {
                preview->cboColumn[field]->setCurrentIndex(field == CsvImport::Title      ? 1
                                                           : field == CsvImport::Password ? 2
                                                                                          : 3);
            }
            // A copy of its own: the import wipes the texts it shares when it ends.
            const QString title = preview->grdPreview->item(1, 0)->text();
            seen << preview->lblCounts->text() << QString(title.constData(), title.size())
                 << preview->grdPreview->item(1, 2)->text();
            QTest::mouseClick(preview->cmdImport, Qt::LeftButton);
        });
        QTest::mouseClick(dlg.cmdImport, Qt::LeftButton);
        QCOMPARE(seen,
                 (QStringList{u"Rows to add: 2    Skipped as duplicates: 1    Skipped as empty or "
                              "unreadable: 0"_s,
                              u"1"_s,
                              u"Rows to add: 2    Skipped as duplicates: 1    Skipped as empty or "
                              "unreadable: 0"_s,
                              u"Bank"_s, u"••••••••"_s}));
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].prompt, u"2 entries imported, 1 skipped as duplicates."_s);
        QCOMPARE(env.messages[0].buttons, (QStringList{u"&Show skipped rows…"_s, u"OK"_s}));
        QCOMPARE(clsPWD().OpenRecords().value_or(QList<clsPWD>()).size(), 2);
        QVERIFY(dlg.isVisible());

        env.chosenFile = env.AppFolder() + u"/out.csv"_s;
        env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbNo); };
        QTest::mouseClick(dlg.cmdExport, Qt::LeftButton);
        env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        QTest::mouseClick(dlg.cmdExport, Qt::LeftButton);
        QCOMPARE(env.messages.size(), 4);
        for (int i : {1, 2}) {
            QCOMPARE(env.messages[i].prompt,
                     u"The exported file holds every password in plain text. Anyone who can read "
                     "the file can read your passwords. Export anyway?"_s);
            QCOMPARE(env.messages[i].flags,
                     MsgBox::vbYesNo | MsgBox::vbExclamation | MsgBox::vbDefaultButton2);
        }
        QCOMPARE(env.messages[3].prompt, u"2 password entries were written to \"%1\"."_s.arg(
                                             QDir::toNativeSeparators(env.chosenFile)));
        QCOMPARE(env.fileRequests.size(), 2);
        QVERIFY(env.fileRequests[1].save);
        QFile out(env.chosenFile);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.readAll().startsWith("\"Group\",\"Title\""));
        QVERIFY(dlg.isVisible());
    }

    // A store that refuses the write is reported and the dialog stays open; once the store
    // takes it, OK stores and closes.
    void storeRefuses()
    {
        TestEnv env;
        frmOptions dlg;
        dlg.show();
        QTest::mouseClick(dlg.chkShowNotes, Qt::LeftButton);
        // The settings folder below a plain file, where nothing can be created.
        QTemporaryDir dir;
        QFile blocker(dir.filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, blocker.fileName());
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        QCOMPARE(env.messages.size(), 1);
        QVERIFY2(env.messages[0].prompt.contains(u"settings"_s),
                 qPrintable(env.messages[0].prompt));
        QCOMPARE(env.messages[0].flags, 48);
        QVERIFY(dlg.isVisible());

        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        QVERIFY(!dlg.isVisible() && dlg.result() == QDialog::Accepted);
        QCOMPARE(stored(), (QStringList{u"1"_s, u"1"_s}));
        QCOMPARE(env.messages.size(), 1);
    }

    // "Change Login Password..." opens a fresh sign-in window in change mode over the dialog
    // and deletes it after; the focus goes to OK and the boxes keep their state. A changed
    // password stays changed whatever closes the dialog; the options are stored on OK only.
    void changePassword_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("how");
        QTest::newRow("changed, then Cancel") << true << int(CancelClick);
        QTest::newRow("changed, then close box") << true << int(CloseBox);
        QTest::newRow("changed, then OK") << true << int(OkClick);
        QTest::newRow("left at step 2, then Cancel") << false << int(CancelClick);
    }

    void changePassword()
    {
        QFETCH(bool, save);
        QFETCH(int, how);
        TestEnv env;
        TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"old pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        store({u"0"_s, u"1"_s});
        frmOptions dlg;
        dlg.show();
        QTest::mouseClick(dlg.chkLockOnMinimize, Qt::LeftButton);
        QTest::mouseClick(dlg.chkShowNotes, Qt::LeftButton);

        const QString now = save ? u"new pw"_s : u"old pw"_s;
        // The second use starts afresh at step 1, against the password now in force.
        const LoginUse first = useChangePassword(dlg, u"old pw"_s, u"new pw"_s, save);
        const LoginUse second = useChangePassword(dlg, now);
        for (const LoginUse* use : {&first, &second}) {
            QVERIFY(use->changeModeOverDialog && use->currentAccepted && !use->window);
            QCOMPARE(use->firstStep, u"Step 1 of 2: Enter Current Password"_s);
        }
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget*>(dlg.cmdOK));
        QCOMPARE(ticks(dlg), u"10"_s);
        QCOMPARE(env.messages.size(), save ? 1 : 0);

        closeDialog(dlg, how);
        QCOMPARE(clsPWD::Master().PASSWORD_TX, now);
        QCOMPARE(modFieldEncryption::DecryptField(
                     env.RawScalar(u"SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = 1"_s)),
                 now);
        QCOMPARE(stored(),
                 how == OkClick ? QStringList({u"1"_s, u"0"_s}) : QStringList({u"0"_s, u"1"_s}));
    }
};

QTEST_MAIN(tst_Options)
#include "tst_options.moc"
