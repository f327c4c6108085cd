// The program's clipboard: copies, marks secrets, and clears only its own copy when asked to.
#include "app/ClipboardHelper.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

const QString ClipboardHelper::SECRET_HINT_FORMAT = QStringLiteral("x-kde-passwordManagerHint");

ClipboardHelper& ClipboardHelper::shared()
{
    static ClipboardHelper helper;
    return helper;
}

void ClipboardHelper::Clear()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
    }
    m_copied.clear();
    m_hasCopy = false;
    m_secret = false;
}

void ClipboardHelper::CopyText(const QString& sText, bool bSecret)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return;
    }
    auto* data = new QMimeData();
    data->setText(sText);
    if (bSecret) {
        data->setData(SECRET_HINT_FORMAT, QByteArrayLiteral("secret"));
#ifdef Q_OS_WIN
        // Windows' clipboard history and cloud clipboard skip data offered in this format.
        data->setData(QStringLiteral("application/x-qt-windows-mime;value=\""
                                     "ExcludeClipboardContentFromMonitorProcessing\""),
                      QByteArray(1, '\0'));
#endif
    }
    // The clipboard takes ownership of the data.
    clipboard->setMimeData(data);
    m_copied = sText;
    m_hasCopy = true;
    m_secret = bSecret;
}

bool ClipboardHelper::HoldsOwnCopy() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return m_hasCopy && clipboard && clipboard->text() == m_copied;
}

void ClipboardHelper::ClearOwnCopy()
{
    if (HoldsOwnCopy()) {
        Clear();
    }
}

void ClipboardHelper::ClearOwnPassword()
{
    if (m_secret) {
        ClearOwnCopy();
    }
}
