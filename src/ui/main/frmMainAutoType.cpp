// The main window's typing into other windows: the context menu's commands and their keys, the
// global shortcut with its matching of the active window's title, and what follows an unlock.
#include "app/EntryMatcher.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsPWD.h"
#include "platform/AutoType.h"
#include "platform/GlobalShortcut.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "ui/dialogs/frmChooseEntry.h"
#include "ui/main/frmMain.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <chrono>
#include <utility>

namespace {

// How long after the shortcut an unlock still types.
constexpr qint64 kUnlockWaitMs = 60000;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString resultMessage(AutoType::Result result)
{
    switch (result) {
    case AutoType::Result::NoTarget:
        return QStringLiteral("No other window took the keyboard within 2 seconds, so KeyCask "
                              "typed nothing.");
    case AutoType::Result::KeysHeld:
        return QStringLiteral("Keys were still held down, so KeyCask typed nothing. Release all "
                              "keys and try again.");
    case AutoType::Result::FocusChanged:
        return QStringLiteral("Another window took the keyboard while KeyCask was typing; KeyCask "
                              "stopped typing.");
    case AutoType::Result::NoKeyFree:
        return QStringLiteral("The keyboard has no free key for a character of this entry, so "
                              "KeyCask typed nothing.");
    case AutoType::Result::Typed:
        break;
    }
    return QString();
}

} // namespace

void frmMain::createTypeMenu()
{
    m_autoType = new AutoType(this);
    connect(m_autoType, &AutoType::Finished, this, [](AutoType::Result result) {
        const QString message = resultMessage(result);
        if (!message.isEmpty()) {
            MsgBox::Show(message, MsgBox::vbExclamation | MsgBox::vbOKOnly);
        }
    });
    mnuHiddenRoot->addSeparator();
    mnuType[0] =
        mnuHiddenRoot->addAction(QStringLiteral("Type user name and password\tCtrl+Shift+V"));
    mnuType[1] = mnuHiddenRoot->addAction(QStringLiteral("Type password only\tCtrl+Shift+P"));
    mnuHiddenRoot->setToolTipsVisible(true);
    connect(mnuType[0], &QAction::triggered, this, [this] { TypeSelectedEntry(true); });
    connect(mnuType[1], &QAction::triggered, this, [this] { TypeSelectedEntry(false); });
    QAction* separator = mnuHiddenRoot->actions().value(mnuHiddenRoot->actions().size() - 3);
    connect(mnuHiddenRoot, &QMenu::aboutToShow, this, [this, separator] {
        const bool available = AutoType::Available();
        separator->setVisible(IsPasswordsTab());
        for (QAction* action : mnuType) {
            action->setVisible(IsPasswordsTab());
            action->setEnabled(available);
            action->setToolTip(available ? QString() : AutoType::UNAVAILABLE_TEXT);
        }
    });
}

void frmMain::TypeSelectedEntry(bool bUserName)
{
    if (IsLocked() || !IsPasswordsTab() || grid->GridSelectionCount() != 1 ||
        m_autoType->IsBusy() || !AutoType::Available()) {
        return;
    }
    const long id = grid->GridRowID(grid->GridSelectedRow());
    // Out of the way: the window the user came from takes the keyboard again.
    showMinimized();
    typeEntry(id, bUserName, 0);
}

void frmMain::typeEntry(long lID, bool bUserName, unsigned long ulWindow)
{
    clsPWD entry;
    entry.OpenRecord(QString::number(lID));
    if (entry.PASSWORD_ID.isEmpty()) {
        return;
    }
    // The one copy of the password the typist wipes when it is done.
    QString text = std::move(entry.PASSWORD_TX);
    if (bUserName) {
        // Made in one buffer: a sum of strings would leave its steps, password included, in
        // freed memory.
        QString whole;
        whole.reserve(entry.USER_NM.size() + text.size() + 2);
        whole += entry.USER_NM;
        whole += QLatin1Char('\t');
        whole += text;
        whole += QLatin1Char('\n');
        SecretText::Wipe(text);
        text = std::move(whole);
    }
    int delay = 10;
    modGeneral::IgnoreErrors([&delay] { delay = clsApp::shared().AutoTypeDelayMs(); });
    m_autoType->setDelayMs(delay);
    m_autoType->Start(std::move(text), ulWindow);
}

void frmMain::ApplyAutoTypeShortcut()
{
    if (!AutoType::Available()) {
        return;
    }
    QString text;
    modGeneral::IgnoreErrors([&text] { text = clsApp::shared().AutoTypeShortcut(); });
    if (!m_globalShortcut) {
        m_globalShortcut = new GlobalShortcut(this);
        connect(m_globalShortcut, &GlobalShortcut::Activated, this,
                &frmMain::AutoTypeShortcut_Activated);
    } else if (text == m_appliedShortcut) {
        return;
    }
    m_appliedShortcut = text;
    const QKeySequence keys = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (m_globalShortcut->SetShortcut(keys) == GlobalShortcut::Result::Conflict) {
        MsgBox::Show(keys.toString(QKeySequence::NativeText) +
                         QStringLiteral(" is already used by another program, so KeyCask cannot "
                                        "type with it. Choose another key in Options."),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
    }
}

void frmMain::AutoTypeShortcut_Activated()
{
    const unsigned long window = AutoType::ActiveWindow();
    // While the chooser is open a repeated press finds no window of KeyCask's active yet: it
    // must not open a second chooser.
    if (m_autoType->IsBusy() || m_choosing || !window || AutoType::IsOwnWindow(window)) {
        return;
    }
    m_typeWindow = window;
    m_typeTitle = AutoType::WindowTitle(window);
    if (IsLocked()) {
        // The master password first; the typing follows the unlock.
        m_typeAfterUnlock = true;
        m_typeAskedMs = steadyMs();
        BringToFront();
        txtPassword->setFocus();
        return;
    }
    typeForWindow();
}

void frmMain::autoTypeAfterUnlock()
{
    if (std::exchange(m_typeAfterUnlock, false) && steadyMs() - m_typeAskedMs < kUnlockWaitMs) {
        typeForWindow();
    }
}

void frmMain::typeForWindow()
{
    QList<EntryMatcher::Candidate> candidates;
    QHash<long, QString> userNames;
    clsPWD reader;
    reader.ReadRecords([&](clsPWD& entry) {
        const long id = entry.PASSWORD_ID.toLong();
        candidates.append({id, entry.TITLE_TX, entry.WEB_SITE_TX});
        userNames.insert(id, entry.USER_NM);
    });
    const QList<long> matches = EntryMatcher::Matching(m_typeTitle, candidates);
    if (matches.isEmpty()) {
        BringToFront();
        txtSearch->setFocus();
        txtSearch->setText(m_typeTitle);
        return;
    }
    long chosen = matches.first();
    if (matches.size() > 1) {
        QList<frmChooseEntry::Choice> choices;
        for (const EntryMatcher::Candidate& candidate : candidates) {
            if (matches.contains(candidate.id)) {
                choices.append({candidate.id, candidate.title, userNames.value(candidate.id)});
            }
        }
        frmChooseEntry chooser(choices, this);
        m_choosing = true;
        chooser.exec();
        m_choosing = false;
        chosen = chooser.SelectedID();
        if (!chosen) {
            AutoType::Activate(m_typeWindow);
            return;
        }
    }
    typeEntry(chosen, true, m_typeWindow);
}
