// Tests of the password and file-folder editors and the folder picker, driven offscreen on real
// data files: loading, the Save buttons, type-ahead, the length rule, saving and closing, the
// password generator's button and menu, and what a screen reader hears on the way through.
#include "TestEnv.h"
#include "app/FileHelper.h"
#include "app/clsApp.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/SettingsStore.h"
#include "ui/controls/modAccessibility.h"
#include "ui/dialogs/frmFile.h"
#include "ui/dialogs/frmFindFile.h"
#include "ui/dialogs/frmPassword.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kAsk = u"Save Changes?"_s;
// Key presses of the length test that are more than one key.
constexpr int paste = -1;
constexpr int selectAllThenX = -2;
constexpr int typeEmoji = -3;
// Delete and Backspace as they come on X11, carrying the text DEL and BS.
constexpr int x11Delete = -4;
constexpr int x11Backspace = -5;

// A test's world; its windows go before the data file and settings they may use.
struct World
{
    TestEnv env;
    ~World()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->parentWidget()) {
                windows << w;
            }
        }
        qDeleteAll(windows);
    }
    qsizetype asked() const
    {
        return std::count_if(env.messages.begin(), env.messages.end(),
                             [](const auto& m) { return m.prompt == kAsk; });
    }
};

QStringList fieldsOf(const clsPWD& r)
{
    return {r.PASSWORD_ID, r.TITLE_TX, r.USER_NM, r.PASSWORD_TX, r.WEB_SITE_TX, r.NOTES_TX};
}

QStringList fieldsOf(const clsMY_FILE& r)
{
    return {r.MY_FILE_ID, r.MY_FILE_NM, r.MY_FILE_PATH_TX, r.NOTES_TX};
}

template <class Record> QStringList stored(const QString& sID)
{
    Record r;
    r.OpenRecord(sID);
    return fieldsOf(r);
}

// The master row and two entries that differ in every field; gives the first entry's id.
QString addSample()
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"Master#Pw1"_s);
    const QString id = TestEnv::AddPassword(u"Bank of Home"_s, u"alice"_s, u"apple-pie-7"_s,
                                            u"https://bank.example/login"_s, u"card in drawer"_s);
    TestEnv::AddPassword(u"Mail"_s, u"bob"_s, u"Banana!9"_s, u"mail.example"_s);
    return id;
}

// An open editor of either kind; the fields of every record its Change raised.
struct Editor
{
    frmPassword* pwd = nullptr;
    frmFile* file = nullptr;
    QDialog* form = nullptr;
    std::array<QPushButton*, 3> cmd{};
    QList<QStringList> changes;

    Editor(bool bFile, bool bAdding, const QString& sID = QString())
    {
        if (bFile) {
            form = file = new frmFile();
            file->ADDING = bAdding;
            file->MY_FILE_ID = sID;
            cmd = file->cmd;
            QObject::connect(file, &frmFile::Change, file,
                             [this](const clsMY_FILE& r) { changes << fieldsOf(r); });
        } else {
            form = pwd = new frmPassword();
            pwd->ADDING = bAdding;
            pwd->PASSWORD_ID = sID;
            cmd = pwd->cmd;
            QObject::connect(pwd, &frmPassword::Change, pwd,
                             [this](const clsPWD& r) { changes << fieldsOf(r); });
        }
        form->show();
    }
    // The first field: the title or the name.
    QLineEdit* first() const { return pwd ? pwd->txt[0] : file->txt[0]; }
    // A field's text, set as a paste would set it: any character, no key rule.
    void set(int lField, const QString& sText) const
    {
        if (file) {
            file->txt[lField]->setText(sText);
        } else if (lField == 1 || lField == 2) {
            pwd->cbo[lField]->setEditText(sText);
        } else {
            pwd->txt[lField]->setText(sText);
        }
    }
    QString text(int lField) const
    {
        if (file) {
            return file->txt[lField]->text();
        }
        return lField == 1 || lField == 2 ? pwd->cbo[lField]->currentText()
                                          : pwd->txt[lField]->text();
    }
    bool canSave() const { return cmd[0]->isEnabled() && cmd[1]->isEnabled(); }
};

// The text is of the given length and holds exactly the classes named in the pattern's
// character set, each at least once.
bool generated(const QString& sText, int lLength, const QString& sClasses)
{
    if (sText.size() != lLength ||
        !QRegularExpression(u"\\A["_s + sClasses + u"]*\\z"_s).match(sText).hasMatch()) {
        return false;
    }
    const QString sets[] = {u"A-Z"_s, u"a-z"_s, u"0-9"_s, u"!-/:-@\\[-`{-~"_s};
    for (const QString& set : sets) {
        if (sClasses.contains(set) &&
            !QRegularExpression(u"["_s + set + u"]"_s).match(sText).hasMatch()) {
            return false;
        }
    }
    return true;
}

const QString kAllClasses = u"A-Za-z0-9!-/:-@\\[-`{-~"_s;

// The widget among the editor's fields and buttons that holds the focus.
QWidget* focusOwner(const Editor& e)
{
    const QList<QWidget*> chain = {e.pwd->txt[0],      e.pwd->cbo[1], e.pwd->cbo[2], e.pwd->txt[3],
                                   e.pwd->txt[4],      e.cmd[0],      e.cmd[1],      e.cmd[2],
                                   e.pwd->cmdGenerate, e.pwd->imgWeb};
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (chain.contains(w)) {
            return w;
        }
    }
    return nullptr;
}

QStringList sortedItems(const QComboBox* combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i) {
        list << combo->itemText(i);
    }
    list.sort();
    return list;
}

} // namespace

class tst_Editors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before any window is shown: Qt keeps the first interface it made for a widget.
    void initTestCase() { modAccessibility::Install(); }

    void loadPassword_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::newRow("add") << true;
        QTest::newRow("edit") << false;
    }

    void loadPassword()
    {
        QFETCH(bool, adding);
        World w;
        const QString id = addSample();
        Editor e(false, adding, adding ? QString() : id);
        QCOMPARE(e.form->windowTitle(), adding ? u"Add new password"_s : u"Edit password"_s);
        QCOMPARE(e.pwd->lblTop->text(), adding ? u"[Title]"_s : u"Bank of Home"_s);
        QCOMPARE(e.cmd[0]->isDefault(), adding);
        QCOMPARE(e.cmd[1]->isDefault(), !adding);
        const QStringList record = stored<clsPWD>(id);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(e.text(i), adding ? QString() : record[i + 1]);
        }
        QVERIFY(!e.canSave() && e.cmd[2]->isEnabled());
        // The master row's user name is offered, its password is not.
        QCOMPARE(sortedItems(e.pwd->cbo[1]), QStringList({u"KeyCask"_s, u"alice"_s, u"bob"_s}));
        QCOMPARE(sortedItems(e.pwd->cbo[2]), QStringList({u"Banana!9"_s, u"apple-pie-7"_s}));
    }

    void saveState_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("canSave");
        QTest::newRow("title only in case") << false << 0 << u"bank of home"_s << true;
        QTest::newRow("title of spaces") << false << 0 << u"   "_s << false;
        QTest::newRow("title with spaces around") << false << 0 << u" Bank "_s << true;
        QTest::newRow("title of a tab") << false << 0 << u"\t"_s << true;
        QTest::newRow("user name of spaces") << false << 1 << u"  "_s << false;
        QTest::newRow("user name") << false << 1 << u"carol"_s << true;
        QTest::newRow("password emptied") << false << 2 << QString() << false;
        QTest::newRow("web emptied") << false << 3 << QString() << true;
        QTest::newRow("notes") << false << 4 << u"card in safe"_s << true;
        QTest::newRow("name of a space") << true << 0 << u" "_s << true;
        QTest::newRow("name emptied") << true << 0 << QString() << false;
        QTest::newRow("folder of a space") << true << 1 << u" "_s << true;
        QTest::newRow("folder emptied") << true << 1 << QString() << false;
    }

    // A change enables saving only with the required fields filled; changing back disables it
    // again, and closing then does not ask.
    void saveState()
    {
        QFETCH(bool, file);
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(bool, canSave);
        World w;
        Editor e(file, false,
                 file ? TestEnv::AddFolder(u"Docs"_s, u"/srv/docs"_s, u"tax"_s) : addSample());
        const QString before = e.text(field);
        e.set(field, value);
        QCOMPARE(e.canSave(), canSave);
        QCOMPARE(file ? e.file->lblTop->text() : e.pwd->lblTop->text(), e.text(0));
        e.set(field, before);
        QVERIFY(!e.canSave());
        e.form->close();
        QVERIFY(!e.form->isVisible() && w.env.messages.isEmpty());
    }

    void passwordRoundTrip_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("kept");
        const QStringList quotes = {u"O'Brien \"Bob\" C:\\x"_s, u"x'); DROP TABLE PWD; --"_s,
                                    u"p\\'\"%_*"_s, u"https://a.example/?q='1'&b=\"2\"\\"_s,
                                    u"SELECT * FROM PWD WHERE 1=1"_s};
        QTest::newRow("quotes, backslashes and SQL") << quotes << quotes;
        const QStringList exotic = {u"nul\0inside"_s, u"😀 user"_s, u"كلمة-سر-٣"_s,
                                    u"https://e.example/"_s + QString(237, u'w'),
                                    u"שלום note ‏"_s};
        QTest::newRow("NUL, emoji, right-to-left, 255-character address") << exotic << exotic;
        QTest::newRow("cut to 50 whole characters, notes trimmed, title as typed")
            << QStringList{u"  spaced title  "_s, QString(60, u'u'), QString(49, u'p') + u"😀"_s,
                           QString(), u" \r\n \r\n "_s}
            << QStringList{u"  spaced title  "_s, QString(50, u'u'), QString(49, u'p'), QString(),
                           QString()};
    }

    // Every field is saved and read back exactly, cut only where the editor cuts.
    void passwordRoundTrip()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, kept);
        World w;
        addSample();
        Editor e(false, true);
        for (int i = 0; i < 5; ++i) {
            e.set(i, typed[i]);
        }
        QTest::mouseClick(e.cmd[1], Qt::LeftButton);
        QVERIFY(!e.form->isVisible());
        kept.prepend(u"4"_s);
        QCOMPARE(e.changes, QList<QStringList>{kept});
        QCOMPARE(stored<clsPWD>(u"4"_s), kept);
        Editor again(false, false, u"4"_s);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(again.text(i), kept[i + 1]);
        }
        QVERIFY(!again.canSave());
    }

    // Stored texts longer than the editor's limits (an import's) are shown and saved whole when
    // another field changes.
    void longStoredTextsKept()
    {
        World w;
        const QStringList texts = {QString(80, u't'), QString(61, u'u'), QString(70, u'p'),
                                   QString(300, u'w'), u"line 1\r\n"_s + QString(50, u'n')};
        const QString id = TestEnv::AddPassword(texts[0], texts[1], texts[2], texts[3], texts[4]);
        Editor e(false, false, id);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(e.text(i), texts[i]);
        }
        e.set(3, u"https://short.example"_s);
        QTest::mouseClick(e.cmd[1], Qt::LeftButton);
        QVERIFY(!e.form->isVisible());
        QStringList kept = texts;
        kept[3] = u"https://short.example"_s;
        kept.prepend(id);
        QCOMPARE(stored<clsPWD>(id), kept);
    }

    // Name, folder and notes are stored as typed: a folder that does not exist, quotes, a long
    // path; notes of spaces and line breaks become empty. A stored path longer than the box
    // takes is shown whole.
    void fileRoundTrip()
    {
        World w;
        const QString longPath = u"/srv/"_s + QString(295, u'o');
        const QString id = TestEnv::AddFolder(u"Old"_s, longPath, u"old notes"_s);
        Editor e(true, false, id);
        QCOMPARE(e.form->windowTitle(), u"Edit file folder"_s);
        QCOMPARE(e.text(1), longPath);
        QVERIFY(!e.canSave() && e.cmd[1]->isDefault());
        const QStringList typed = {u"Bob's \"files\" ‏עברית 😀"_s,
                                   u"/no/such/folder/O'Brien\\x/"_s + QString(229, u'f'),
                                   u"  \r\n\r\n  "_s};
        for (int i = 0; i < 3; ++i) {
            e.set(i, typed[i]);
        }
        QTest::mouseClick(e.cmd[1], Qt::LeftButton);
        QVERIFY(!e.form->isVisible());
        const QStringList kept = {id, typed[0], typed[1], QString()};
        QCOMPARE(e.changes, QList<QStringList>{kept});
        QCOMPARE(stored<clsMY_FILE>(id), kept);
        QCOMPARE(w.env.RawScalar(u"SELECT NOTES_TX IS NULL FROM MY_FILE"_s), u"1"_s);
    }

    void comboLength_data()
    {
        QTest::addColumn<int>("combo");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("lengthAfter");
        QTest::newRow("user name 50, x") << 1 << 50 << int(Qt::Key_X) << -1;
        QTest::newRow("user name 50 all selected, x") << 1 << 50 << selectAllThenX << -1;
        QTest::newRow("password 50, paste") << 2 << 50 << paste << -1;
        QTest::newRow("password 50, emoji") << 2 << 50 << typeEmoji << -1;
        QTest::newRow("password 50, Backspace") << 2 << 50 << int(Qt::Key_Backspace) << 49;
        QTest::newRow("password 50, Delete") << 2 << 50 << int(Qt::Key_Delete) << 49;
        QTest::newRow("password 50, Delete with its text") << 2 << 50 << x11Delete << 49;
        QTest::newRow("user name 50, Backspace with its text") << 1 << 50 << x11Backspace << 49;
        QTest::newRow("user name 49, x") << 1 << 49 << int(Qt::Key_X) << 50;
        QTest::newRow("user name 49, paste") << 1 << 49 << paste << 69;
    }

    // From 50 characters on, every typed character but Backspace is refused with a message
    // (-1 in lengthAfter); a paste into fewer goes through and is cut to 50 on save.
    void comboLength()
    {
        QFETCH(int, combo);
        QFETCH(int, length);
        QFETCH(int, key);
        QFETCH(int, lengthAfter);
        World w;
        addSample();
        Editor e(false, true);
        QComboBox* box = e.pwd->cbo[combo];
        const QString start(length, combo == 1 ? u'u' : u'p');
        e.set(combo, start);
        box->lineEdit()->setCursorPosition(key == int(Qt::Key_Delete) || key == x11Delete ? 0
                                                                                          : length);
        QGuiApplication::clipboard()->setText(QString(20, u'c'));
        if (key == paste) {
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else if (key == typeEmoji) {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, u"😀"_s, Qt::NoModifier);
        } else if (key == x11Delete || key == x11Backspace) {
            QTest::sendKeyEvent(QTest::Click, box,
                                key == x11Delete ? Qt::Key_Delete : Qt::Key_Backspace,
                                QString(QChar(key == x11Delete ? 0x7f : 0x08)), Qt::NoModifier);
        } else if (key == selectAllThenX) {
            box->lineEdit()->selectAll();
            QTest::keyClick(box, Qt::Key_X);
        } else {
            QTest::keyClick(box, Qt::Key(key));
        }
        const bool refused = lengthAfter < 0;
        QCOMPARE(e.text(combo), refused ? start : e.text(combo));
        QCOMPARE(e.text(combo).size(), refused ? length : lengthAfter);
        QCOMPARE(w.env.messages.size(), refused ? 1 : 0);
        if (refused) {
            const MsgBox::Call& m = w.env.messages[0];
            QCOMPARE(m.prompt, u"This field's max length is 50 characters."_s);
            QVERIFY(m.flags == MsgBox::vbOKOnly && m.title == u"KeyCask"_s);
        }
        e.set(0, u"T"_s);
        e.set(3 - combo, u"other"_s);
        QTest::mouseClick(e.cmd[1], Qt::LeftButton);
        QCOMPARE(e.changes.size(), 1);
        QCOMPARE(e.changes[0][combo + 1].size(), std::min(e.text(combo).size(), qsizetype(50)));
    }

    void stopAutoComplete_data()
    {
        QTest::addColumn<int>("combo");
        QTest::addColumn<int>("key");
        QTest::newRow("Backspace in user name") << 1 << int(Qt::Key_Backspace);
        QTest::newRow("dot in user name") << 1 << int(Qt::Key_Period);
        QTest::newRow("Backspace in password") << 2 << int(Qt::Key_Backspace);
        QTest::newRow("dot in password") << 2 << int(Qt::Key_Period);
    }

    // Type-ahead completes from either list until a Backspace or a dot in either box.
    void stopAutoComplete()
    {
        QFETCH(int, combo);
        QFETCH(int, key);
        World w;
        addSample();
        Editor e(false, true);
        const QString typed[] = {QString(), u"a"_s, u"b"_s};
        const QString completed[] = {QString(), u"alice"_s, u"Banana!9"_s};
        for (int i : {1, 2}) {
            QTest::keyClicks(e.pwd->cbo[i], typed[i]);
            QCOMPARE(e.text(i), completed[i]);
            QCOMPARE(e.pwd->cbo[i]->lineEdit()->selectedText(), completed[i].mid(1));
            e.set(i, QString());
        }
        QTest::keyClick(e.pwd->cbo[combo], Qt::Key(key));
        for (int i : {1, 2}) {
            e.set(i, QString());
            QTest::keyClicks(e.pwd->cbo[i], typed[i]);
            QCOMPARE(e.text(i), typed[i]);
        }
    }

    void saveAndNewFromEdit_data()
    {
        QTest::addColumn<bool>("file");
        QTest::newRow("password") << false;
        QTest::newRow("file") << true;
    }

    // "Save And New" in edit mode saves once and leaves an empty window in add mode, whose
    // Save (Enter in a drop-down box for passwords) adds a new entry.
    void saveAndNewFromEdit()
    {
        QFETCH(bool, file);
        World w;
        const QString id =
            file ? TestEnv::AddFolder(u"Docs"_s, u"/srv/docs"_s, u"tax"_s) : addSample();
        Editor e(file, false, id);
        e.set(file ? 2 : 4, u"changed"_s);
        QTest::mouseClick(e.cmd[0], Qt::LeftButton);
        QCOMPARE(e.changes.size(), 1);
        QCOMPARE(e.changes[0][0], id);
        QCOMPARE(e.changes[0].last(), u"changed"_s);
        QCOMPARE(file ? stored<clsMY_FILE>(id) : stored<clsPWD>(id), e.changes[0]);
        QVERIFY(e.form->isVisible() && e.cmd[1]->isDefault() && !e.canSave());
        QCOMPARE(e.form->windowTitle(), file ? u"Add new file folder"_s : u"Add new password"_s);
        QCOMPARE(file ? e.file->lblTop->text() : e.pwd->lblTop->text(),
                 file ? u"[Name]"_s : u"[Title]"_s);
        for (int i = 0; i < (file ? 3 : 5); ++i) {
            QVERIFY(e.text(i).isEmpty());
        }
        e.set(0, u"Shop"_s);
        // A user name that a list item matches only in case is kept as typed.
        e.set(1, file ? u"/srv/shop"_s : u"ALICE"_s);
        if (file) {
            QTest::keyClick(e.file->txt[1], Qt::Key_Return);
        } else {
            e.set(2, u"figs"_s);
            QTest::keyClick(e.pwd->cbo[1], Qt::Key_Return);
        }
        QVERIFY(!e.form->isVisible());
        QCOMPARE(e.changes.size(), 2);
        QCOMPARE(e.changes[1][0], file ? u"2"_s : u"4"_s);
        QCOMPARE(e.changes[1][2], file ? u"/srv/shop"_s : u"ALICE"_s);
    }

    void closing_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("answer");
        const char* ways[] = {"Cancel", "Esc in a drop-down or folder box", "close box"};
        for (bool file : {false, true}) {
            for (int way = 0; way < 3; ++way) {
                for (int answer :
                     {0, int(MsgBox::vbYes), int(MsgBox::vbNo), int(MsgBox::vbCancel)}) {
                    QTest::addRow("%s, %s, %s", file ? "file" : "password", ways[way],
                                  answer ? qPrintable(u"answer %1"_s.arg(answer)) : "unchanged")
                        << file << way << answer;
                }
            }
        }
    }

    // Every way of closing asks "Save Changes?" exactly when there is something to save.
    void closing()
    {
        QFETCH(bool, file);
        QFETCH(int, way);
        QFETCH(int, answer);
        World w;
        w.env.answer = [answer](const MsgBox::Call&) { return answer; };
        const QString id = file ? TestEnv::AddFolder(u"Docs"_s, u"/srv/docs"_s) : addSample();
        Editor e(file, false, id);
        const QStringList before = file ? stored<clsMY_FILE>(id) : stored<clsPWD>(id);
        if (answer) {
            e.set(0, u"Renamed"_s);
        }
        if (way == 0) {
            QTest::mouseClick(e.cmd[2], Qt::LeftButton);
        } else if (way == 1) {
            QTest::keyClick(file ? static_cast<QWidget*>(e.file->txt[1]) : e.pwd->cbo[1],
                            Qt::Key_Escape);
        } else {
            e.form->close();
        }
        QCOMPARE(w.asked(), answer ? 1 : 0);
        if (answer) {
            QCOMPARE(w.env.messages[0].flags, MsgBox::vbYesNoCancel | MsgBox::vbQuestion);
        }
        QCOMPARE(e.form->isVisible(), answer == MsgBox::vbCancel);
        const QStringList after = file ? stored<clsMY_FILE>(id) : stored<clsPWD>(id);
        QCOMPARE(after[1], answer == MsgBox::vbYes ? u"Renamed"_s : before[1]);
        QCOMPARE(e.changes.size(), answer == MsgBox::vbYes ? 1 : 0);
    }

    void failedSave_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("way");
        for (bool file : {false, true}) {
            const char* kind = file ? "file" : "password";
            QTest::addRow("%s, Save And New", kind) << file << 0;
            QTest::addRow("%s, Save", kind) << file << 1;
            QTest::addRow("%s, close, Yes", kind) << file << 2;
        }
    }

    // A save the data file refuses keeps the window open with the input, still unsaved.
    void failedSave()
    {
        QFETCH(bool, file);
        QFETCH(int, way);
        World w;
        w.env.answer = [](const MsgBox::Call& call) {
            return call.prompt == kAsk ? MsgBox::vbYes : MsgBox::vbOK;
        };
        if (!file) {
            addSample();
        }
        Editor e(file, true);
        const QStringList typed = {u"Music"_s, u"erin"_s, u"grapes"_s};
        for (int i = 0; i < 3; ++i) {
            e.set(i, typed[i]);
        }
        w.env.ReopenReadOnly();
        if (way == 2) {
            e.form->close();
        } else {
            QTest::mouseClick(e.cmd[way], Qt::LeftButton);
        }
        QVERIFY(e.form->isVisible() && e.canSave() && e.changes.isEmpty());
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(e.text(i), typed[i]);
        }
        // The record class told the user; the input still counts as unsaved after a change
        // and its undoing.
        QVERIFY(w.env.messages.size() > w.asked());
        QTest::keyClick(e.first(), Qt::Key_X);
        QTest::keyClick(e.first(), Qt::Key_Backspace);
        QVERIFY(e.canSave());
        w.env.messages.clear();
        w.env.answer = [](const MsgBox::Call&) { return MsgBox::vbNo; };
        e.form->close();
        QVERIFY(w.asked() == 1 && !e.form->isVisible());
    }

    void webIcon_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("button");
        QTest::newRow("empty") << QString() << int(Qt::LeftButton);
        QTest::newRow("plain word") << u"intranet"_s << int(Qt::LeftButton);
        QTest::newRow("address") << u"https://bank.example/a?b=c"_s << int(Qt::LeftButton);
        QTest::newRow("right button") << u"https://bank.example/"_s << int(Qt::RightButton);
    }

    // The web icon hands the text, unchanged, to the file helper.
    void webIcon()
    {
        QFETCH(QString, address);
        QFETCH(int, button);
        World w;
        Editor e(false, true);
        e.set(3, address);
        QTest::mouseClick(e.pwd->imgWeb, Qt::MouseButton(button));
        const bool launched = !address.isEmpty() && button == Qt::LeftButton;
        QCOMPARE(w.env.launches,
                 launched ? QList<QUrl>{FileHelper::shared().TargetUrl(address)} : QList<QUrl>{});
    }

    // F1 opens the editor's help topic from any field and types nothing.
    void help()
    {
        World w;
        Editor pwd(false, true);
        QTest::keyClick(pwd.pwd->cbo[2], Qt::Key_F1);
        QTest::keyClick(pwd.pwd->txt[4], Qt::Key_F1);
        Editor file(true, true);
        QTest::keyClick(file.file->txt[1], Qt::Key_F1);
        QCOMPARE(w.env.launches.size(), 3);
        QVERIFY(w.env.launches[0].toString().endsWith(u"#passwords/about_passwords.htm"_s));
        QCOMPARE(w.env.launches[1], w.env.launches[0]);
        QVERIFY(w.env.launches[2].toString().endsWith(u"#file_folders/about_file_folders.htm"_s));
        QVERIFY(pwd.text(2).isEmpty() && pwd.text(4).isEmpty() && file.text(1).isEmpty());
    }

    void generate_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<bool>("filled");
        QTest::newRow("add, title and user name empty") << true << false;
        QTest::newRow("add, title and user name filled") << true << true;
        QTest::newRow("edit") << false << true;
    }

    // The button fills the password box with a new password of the default choice; the Save
    // buttons follow as after typing, the lists stay, and the password is saved as shown.
    void generate()
    {
        QFETCH(bool, adding);
        QFETCH(bool, filled);
        World w;
        const QString id = addSample();
        Editor e(false, adding, adding ? QString() : id);
        if (adding && filled) {
            e.set(0, u"Shop"_s);
            e.set(1, u"carol"_s);
        }
        QVERIFY(!e.canSave());
        const QStringList items = sortedItems(e.pwd->cbo[2]);
        QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton);
        const QString first = e.text(2);
        QVERIFY2(generated(first, 20, kAllClasses), "not 20 characters of all four classes");
        QVERIFY(!e.pwd->cbo[2]->lineEdit()->hasSelectedText());
        QCOMPARE(e.canSave(), filled);
        QCOMPARE(sortedItems(e.pwd->cbo[2]), items);
        QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton);
        QVERIFY(e.text(2) != first);
        if (filled) {
            QTest::mouseClick(e.cmd[1], Qt::LeftButton);
            QCOMPARE(e.changes.size(), 1);
            QCOMPARE(e.changes[0][3], e.text(2));
        }
        QVERIFY(w.env.messages.isEmpty());
    }

    // A click on the button leaves the focus where it was; Tab reaches the button after Cancel,
    // so it works without a mouse too, and leaves the fields in the order a user types them.
    void generateKeepsFocusAndTabOrder()
    {
        World w;
        addSample();
        Editor e(false, true);
        QVERIFY(QTest::qWaitForWindowActive(e.form));
        QCOMPARE(e.pwd->cmdGenerate->focusPolicy(), Qt::TabFocus);
        e.set(0, u"Shop"_s);
        e.set(1, u"carol"_s);
        e.pwd->txt[4]->setFocus();
        QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton);
        QVERIFY(e.canSave());
        QCOMPARE(focusOwner(e), e.pwd->txt[4]);
        e.pwd->txt[0]->setFocus();
        const QList<QWidget*> order = {
            e.pwd->cbo[1], e.pwd->cbo[2], e.pwd->txt[3],      e.pwd->txt[4], e.cmd[0],
            e.cmd[1],      e.cmd[2],      e.pwd->cmdGenerate, e.pwd->imgWeb, e.pwd->txt[0]};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusOwner(e), next);
        }
        // The web icon opens the address from the keyboard too, and the editor stays open.
        e.pwd->txt[3]->setText(u"https://shop.example/"_s);
        QTest::keyClick(e.pwd->imgWeb, Qt::Key_Return);
        QCOMPARE(w.env.launches, QList<QUrl>{QUrl(u"https://shop.example/"_s)});
        QVERIFY(e.form->isVisible());
    }

    void generateStoredChoice_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<bool>("capitalsListed");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("classes");
        QTest::newRow("nothing stored") << QStringList{} << false << 20 << kAllClasses;
        QTest::newRow("12, digits only")
            << QStringList{u"GeneratorLength=12"_s, u"GeneratorUpper=0"_s, u"GeneratorLower=0"_s,
                           u"GeneratorPunctuation=0"_s}
            << false << 12 << u"0-9"_s;
        QTest::newRow("50, punctuation only")
            << QStringList{u"GeneratorLength=50"_s, u"GeneratorUpper=0"_s, u"GeneratorLower=0"_s,
                           u"GeneratorDigits=0"_s}
            << false << 50 << u"!-/:-@\\[-`{-~"_s;
        // Typing the password would complete its first letter to a listed capital.
        QTest::newRow("lower case only, capitals listed")
            << QStringList{u"GeneratorLength=9"_s, u"GeneratorUpper=0"_s, u"GeneratorDigits=0"_s,
                           u"GeneratorPunctuation=0"_s}
            << true << 9 << u"a-z"_s;
        QTest::newRow("length beyond the box, default")
            << QStringList{u"GeneratorLength=51"_s, u"GeneratorUpper=0"_s} << false << 20
            << u"a-z0-9!-/:-@\\[-`{-~"_s;
        QTest::newRow("unreadable length, default")
            << QStringList{u"GeneratorLength=twelve"_s, u"GeneratorPunctuation=0"_s} << false << 20
            << u"A-Za-z0-9"_s;
        QTest::newRow("unreadable class, chosen")
            << QStringList{u"GeneratorLength=10"_s, u"GeneratorUpper=0"_s, u"GeneratorLower=0"_s,
                           u"GeneratorDigits=maybe"_s, u"GeneratorPunctuation=0"_s}
            << false << 10 << u"0-9"_s;
        QTest::newRow("no class stored, all four")
            << QStringList{u"GeneratorLength=16"_s, u"GeneratorUpper=0"_s, u"GeneratorLower=0"_s,
                           u"GeneratorDigits=0"_s, u"GeneratorPunctuation=0"_s}
            << false << 16 << kAllClasses;
    }

    // The choice is read from the settings at every click.
    void generateStoredChoice()
    {
        QFETCH(QStringList, settings);
        QFETCH(bool, capitalsListed);
        QFETCH(int, length);
        QFETCH(QString, classes);
        World w;
        if (capitalsListed) {
            for (char16_t c = u'A'; c <= u'Z'; ++c) {
                TestEnv::AddPassword(u"T"_s, u"u"_s, QString(QChar(c)) + u"~"_s);
            }
        }
        Editor e(false, true);
        for (const QString& setting : settings) {
            const QStringList pair = setting.split(u'=');
            SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(), pair[0],
                                                      pair[1]);
        }
        for (int draw = 0; draw < 20; ++draw) {
            QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton);
            QVERIFY2(generated(e.text(2), length, classes), qPrintable(classes));
        }
        QVERIFY(w.env.messages.isEmpty());
    }

    void generateMenu_data()
    {
        QTest::addColumn<bool>("arrow");
        QTest::newRow("right click") << false;
        QTest::newRow("drop-down arrow") << true;
    }

    // The menu shows the stored choice and stores every change at once; the last chosen class
    // cannot be unchosen; the next password follows the new choice.
    void generateMenu()
    {
        QFETCH(bool, arrow);
        World w;
        clsApp& app = clsApp::shared();
        app.setGeneratorLength(12);
        app.setGeneratorUpper(false);
        app.setGeneratorLower(false);
        app.setGeneratorPunctuation(false);
        Editor e(false, true);
        QVERIFY(QTest::qWaitForWindowExposed(e.form));
        QMenu* menu = e.pwd->mnuGenerate;
        const auto& items = e.pwd->mnuGenerateClass;
        const auto checked = [&items] {
            QList<bool> list;
            for (const QAction* item : items) {
                list << item->isChecked();
            }
            return list;
        };
        const auto click = [menu](QAction* item) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        };
        bool driven = false;
        const auto drive = [&] {
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(e.pwd->spnGenerateLength->value(), 12);
            QCOMPARE(checked(), (QList<bool>{false, false, true, false}));
            QVERIFY(!items[2]->isEnabled() && items[0]->isEnabled());
            // Upper case on: stored, the menu stays open, digits may go again.
            click(items[0]);
            QVERIFY(menu->isVisible() && app.GeneratorUpper() && items[2]->isEnabled());
            // Digits off: upper case is the last and cannot go.
            click(items[2]);
            QVERIFY(!app.GeneratorDigits() && !items[0]->isEnabled());
            click(items[0]);
            QVERIFY(app.GeneratorUpper() && items[0]->isChecked());
            // By key a class item toggles too, and the menu stays.
            menu->setActiveAction(items[1]);
            QTest::keyClick(menu, Qt::Key_Space);
            QVERIFY(menu->isVisible() && app.GeneratorLower());
            QTest::keyClick(menu, Qt::Key_Return);
            QVERIFY(menu->isVisible() && !app.GeneratorLower());
            QCOMPARE(checked(), (QList<bool>{true, false, false, false}));
            e.pwd->spnGenerateLength->selectAll();
            QTest::keyClicks(e.pwd->spnGenerateLength, u"33"_s);
            QCOMPARE(app.GeneratorLength(), 33);
            driven = menu->isVisible();
        };
        if (arrow) {
            // The arrow's menu runs its own event loop until closed, failed or not.
            QTimer::singleShot(0, this, [&] {
                drive();
                menu->close();
            });
            const QRect area = e.pwd->cmdGenerate->rect();
            QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton, {},
                              QPoint(area.right() - 3, area.center().y()));
        } else {
            const QPoint at = e.pwd->cmdGenerate->mapTo(e.form, QPoint(5, 5));
            QTest::mouseClick(e.form->windowHandle(), Qt::RightButton, {}, at);
            drive();
            menu->close();
        }
        QVERIFY(driven && !menu->isVisible());
        // Opening the menu generated nothing.
        QVERIFY(e.text(2).isEmpty());
        QTest::mouseClick(e.pwd->cmdGenerate, Qt::LeftButton);
        QVERIFY(generated(e.text(2), 33, u"A-Z"_s));
    }

    void picker_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("other");
        QTest::newRow("OK on another folder") << 0 << true;
        QTest::newRow("OK on the same folder") << 0 << false;
        QTest::newRow("Cancel") << 1 << true;
        QTest::newRow("Esc") << 2 << true;
    }

    // "..." opens the picker; OK puts the folder in the box, anything else leaves it.
    void picker()
    {
        QFETCH(int, action);
        QFETCH(bool, other);
        World w;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"inner"_s));
        const QString first = QDir::toNativeSeparators(dir.path());
        const QString inner = QDir::toNativeSeparators(dir.filePath(u"inner"_s));
        Editor e(true, false, TestEnv::AddFolder(u"Temp"_s, first));
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* picker = qobject_cast<frmFindFile*>(QApplication::activeModalWidget());
            QVERIFY(picker);
            seen = true;
            QCOMPARE(picker->windowTitle(), u"Select a File Folder"_s);
            picker->ft->setCurrentIndex(picker->model->index(other ? inner : first));
            if (action == 0) {
                QTest::mouseClick(picker->cmdOK, Qt::LeftButton);
            } else if (action == 1) {
                QTest::mouseClick(picker->cmdCancel, Qt::LeftButton);
            } else {
                QTest::keyClick(picker->ft, Qt::Key_Escape);
            }
        });
        QTest::mouseClick(e.file->cmdFile, Qt::LeftButton);
        QVERIFY(seen && e.form->isVisible() && !QApplication::activeModalWidget());
        const bool picked = action == 0 && other;
        QCOMPARE(e.text(1), picked ? inner : first);
        QCOMPARE(e.canSave(), picked);
    }

    void screenReader_data()
    {
        QTest::addColumn<int>("window"); // 0 password editor, 1 file-folder editor, 2 picker
        // The names Tab reads from the first field around to it again.
        QTest::addColumn<QStringList>("tabNames");
        QTest::addColumn<QStringList>("images");
        QTest::newRow("password editor")
            << 0 << QStringList{"Title",
                                "User Name",
                                "Password",
                                "Web URL",
                                "Notes",
                                "Save And New",
                                "Save",
                                "Cancel",
                                "Generate password",
                                "Open the web address"}
            << QStringList{"(silent)", "(silent)", "Open the web address"};
        QTest::newRow("file-folder editor")
            << 1 << QStringList{"Name",         "File Folder", "Pick the folder", "Notes",
                                "Save And New", "Save",        "Cancel"}
            << QStringList{"(silent)", "(silent)"};
        QTest::newRow("folder picker")
            << 2 << QStringList{"Folders", "OK", "Cancel"} << QStringList{};
    }

    // Every control Tab reaches has a name, in the order of the window from top to bottom and
    // left to right; an image is named for what it does or not announced at all.
    void screenReader()
    {
        QFETCH(int, window);
        QFETCH(QStringList, tabNames);
        QFETCH(QStringList, images);
        World w;
        std::unique_ptr<Editor> editor;
        std::unique_ptr<frmFindFile> picker;
        QWidget* form = nullptr;
        QWidget* first = nullptr;
        if (window < 2) {
            editor = std::make_unique<Editor>(window == 1, true);
            // Filled, so that the Save buttons take the focus too.
            for (int i = 0; i < 3; ++i) {
                editor->set(i, u"x"_s);
            }
            form = editor->form;
            first = editor->first();
        } else {
            picker = std::make_unique<frmFindFile>();
            picker->show();
            form = picker.get();
            first = picker->ft;
        }
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(TestEnv::TabNames(first), tabNames);
        QCOMPARE(TestEnv::ImageNames(form), images);
    }

    // The picker starts at the home folder, finds folders by typed name and reports the path.
    void pickerAlone()
    {
        QTemporaryDir dir;
        for (const char* sub : {"alpha", "beta", "gamma"}) {
            QVERIFY(QDir(dir.path()).mkpath(QString::fromLatin1(sub)));
        }
        QFile(dir.filePath(u"golf.txt"_s)).open(QIODevice::WriteOnly);
        frmFindFile picker;
        QStringList picked;
        connect(&picker, &frmFindFile::FolderSelected, this,
                [&](const QString& rsFolder) { picked << rsFolder; });
        picker.show();
        QCOMPARE(picker.SelectedPath(), QDir::toNativeSeparators(QDir::homePath()));
        QVERIFY(picker.cmdOK->isDefault());
        const QModelIndex top = picker.model->index(dir.path());
        picker.ft->setCurrentIndex(top);
        picker.ft->expand(top);
        QTRY_COMPARE(picker.model->rowCount(top), 3);
        picker.ft->setCurrentIndex(picker.model->index(dir.filePath(u"alpha"_s)));
        QTest::keyClicks(picker.ft, u"g"_s);
        QTest::keyClick(picker.ft, Qt::Key_Return);
        QCOMPARE(picked, QStringList{QDir::toNativeSeparators(dir.filePath(u"gamma"_s))});
        QVERIFY(!picker.isVisible());
    }
};

QTEST_MAIN(tst_Editors)
#include "tst_editors.moc"
