// The program's clipboard: copies, marks secrets, and clears only its own copy when asked to.
#include "app/ClipboardHelper.h"

#include "app/clsApp.h"
#include "platform/SecretText.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

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
    forget();
}

void ClipboardHelper::forget()
{
    // The clipboard's copy has gone (cleared, or replaced by another program's), so the buffer
    // is this helper's alone.
    if (m_copied && m_secret) {
        SecretText::Wipe(*m_copied);
    }
    m_copied.reset();
    m_secret = false;
    stopExpiry();
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
    // A password copied before is forgotten; the clipboard takes ownership of the new data, and
    // its old data goes.
    clipboard->setMimeData(data);
    forget();
    m_copied = sText;
    m_secret = bSecret;

    int seconds = 0;
    if (bSecret) {
        try {
            seconds = clsApp::shared().ClearClipboardSeconds();
        } catch (const std::exception&) {
            seconds = 30;
        }
    }
    if (seconds <= 0) {
        stopExpiry();
        return;
    }
    if (!m_expiry) {
        m_expiry = new QTimer(QCoreApplication::instance());
        m_expiry->setSingleShot(true);
        QObject::connect(m_expiry, &QTimer::timeout, [this] { ClearExpiredPassword(); });
    }
    m_expiry->start(seconds * 1000);
    m_expiryPending = true;
}

bool ClipboardHelper::HoldsOwnCopy() const
{
    // Text, not merely no text: an empty copy does not claim a picture copied elsewhere since.
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return m_copied && data && data->hasText() && data->text() == *m_copied;
}

void ClipboardHelper::ClearOwnCopy()
{
    if (HoldsOwnCopy()) {
        Clear();
    }
}

void ClipboardHelper::ClearExpiredPassword()
{
    if (!m_expiryPending) {
        return;
    }
    stopExpiry();
    ForgetPassword();
}

void ClipboardHelper::stopExpiry()
{
    m_expiryPending = false;
    if (m_expiry) {
        m_expiry->stop();
    }
}

int ClipboardHelper::ExpiryRemainingMs() const
{
    return m_expiry && m_expiry->isActive() ? m_expiry->remainingTime() : -1;
}

void ClipboardHelper::ClearOwnPassword()
{
    if (m_secret) {
        ClearOwnCopy();
    }
}

void ClipboardHelper::ForgetPassword()
{
    ClearOwnPassword();
    if (m_secret) {
        forget();
    }
}
