// Puts text on the system clipboard for the whole program and remembers what it put there, so that
// only KeyCask's own copy is ever cleared again. A copied password is marked as secret for
// clipboard managers.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>

class ClipboardHelper
{
public:
    // The helper shared by every window, created on first use.
    static ClipboardHelper& shared();

    // Empties the clipboard, whatever it holds (a press on the list starts a new copy this way).
    void Clear();
    // Puts the text on the clipboard; bSecret marks it for clipboard managers to keep no history.
    // A secret expires: after the chosen delay it is cleared if it is still there (every new
    // copy starts the delay again).
    void CopyText(const QString& sText, bool bSecret);
    // What the delay runs when it ends: clears the copied password if one is waiting to expire
    // and the clipboard still holds it.
    void ClearExpiredPassword();
    // Milliseconds until the copied password expires; -1 when nothing is waiting to expire.
    int ExpiryRemainingMs() const;
    // True while the clipboard still holds exactly the text this helper put there last.
    bool HoldsOwnCopy() const;
    // Empties the clipboard only while it holds this helper's copy; anything the user copied
    // since is left alone.
    void ClearOwnCopy();
    // The same, only when that copy was a password (copied as a secret).
    void ClearOwnPassword();
    // Clears a copied password from the clipboard while it is still there, and in any case
    // zeroes and forgets what the helper remembers of it.
    void ForgetPassword();

    // The format clipboard managers read to leave a copy out of their history.
    static const QString SECRET_HINT_FORMAT;

private:
    ClipboardHelper() = default;
    void stopExpiry();
    // Forgets the remembered copy; a password's text is zeroed.
    void forget();

    // The text this helper put on the clipboard last, while it has not cleared it. It shares its
    // buffer with the clipboard's own copy.
    std::optional<QString> m_copied;
    bool m_secret = false;
    // The delay of a copied password; it belongs to the application object and goes with it.
    QPointer<QTimer> m_expiry;
    bool m_expiryPending = false;
};
