// Puts text on the system clipboard for the whole program and remembers what it put there, so that
// only KeyCask's own copy is ever cleared again. A copied password is marked as secret for
// clipboard managers.
#pragma once

#include <QString>

class ClipboardHelper
{
public:
    // The helper shared by every window, created on first use.
    static ClipboardHelper& shared();

    // Empties the clipboard, whatever it holds.
    void Clear();
    // Puts the text on the clipboard; bSecret marks it for clipboard managers to keep no history.
    void CopyText(const QString& sText, bool bSecret);
    // True while the clipboard still holds exactly the text this helper put there last.
    bool HoldsOwnCopy() const;
    // Empties the clipboard only while it holds this helper's copy; anything the user copied
    // since is left alone.
    void ClearOwnCopy();
    // The same, only when that copy was a password (copied as a secret).
    void ClearOwnPassword();

    // The format clipboard managers read to leave a copy out of their history.
    static const QString SECRET_HINT_FORMAT;

private:
    ClipboardHelper() = default;

    QString m_copied;
    bool m_hasCopy = false;
    bool m_secret = false;
};
