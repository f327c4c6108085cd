// Small shared procedures used by the windows and the data layer.
#include "app/modGeneral.h"

#include "app/FileHelper.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "platform/SettingsStore.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMargins>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <optional>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace modGeneral {

QString QuoteSQL(const QString& sText, const QString& sValueIfEmpty)
{
    if (sText.isEmpty()) {
        return sValueIfEmpty;
    }
    // A statement ends at its first NUL, so a text holding NUL cannot be written as a plain
    // literal: it goes in as one literal of its UTF-8 bytes, cast to text. Any number of NULs
    // then makes one term, where NUL by NUL concatenation soon outgrows SQLite's expression depth.
    if (sText.contains(QChar(u'\0'))) {
        return QLatin1String("CAST(X'") + QString::fromLatin1(sText.toUtf8().toHex()) +
               QLatin1String("' AS TEXT)");
    }
    QString quoted = sText;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString QuoteText(const QString& sText)
{
    if (sText.isEmpty()) {
        return QString();
    }
    return QLatin1Char('"') + sText + QLatin1Char('"');
}

QString GetTimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
}

QString GetFormKeyPath(const QWidget* frm)
{
    return SettingsStore::ProductKeyPath() + QLatin1Char('\\') + frm->objectName();
}

namespace {

QString twipsText(int lPixels, int lTwipsPerPixel)
{
    return QString::number(static_cast<double>(lPixels) * lTwipsPerPixel);
}

// The work area of the screen that shows the largest part of the frame; an empty rectangle
// when no screen shows enough of it for the user to reach it.
QRect workAreaOf(const QRect& frame)
{
    constexpr int kMinVisible = 32;
    QRect best;
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const QRect visible = area.intersected(frame);
        if (visible.width() < std::min(kMinVisible, frame.width()) ||
            visible.height() < std::min(kMinVisible, frame.height())) {
            continue;
        }
        const qint64 shown = qint64(visible.width()) * visible.height();
        if (shown > bestArea) {
            best = area;
            bestArea = shown;
        }
    }
    return best;
}

// The frame a restored window must get, kept on the window until the frame is known.
const char* const kPendingFrame = "keycaskPendingFrame";
const char* const kPendingDock = "keycaskPendingDock";

QMargins frameMargins(const QWidget* frm)
{
    const QRect outer = frm->frameGeometry();
    const QRect inner = frm->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

// Puts the outer frame at a rectangle: a top-level window is moved by its frame and sized by its
// inside.
void placeFrame(QWidget* frm, const QRect& outer)
{
    const QMargins margins = frameMargins(frm);
    frm->move(outer.topLeft());
    frm->resize(std::max(1, outer.width() - margins.left() - margins.right()),
                std::max(1, outer.height() - margins.top() - margins.bottom()));
}

// The right edge of the screen's work area, from its top to its bottom, at the window's width.
QRect dockedFrame(const QWidget* frm)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return QRect();
    }
    const QRect area = screen->availableGeometry();
    const QMargins margins = frameMargins(frm);
    const int width = frm->width() + margins.left() + margins.right();
    const int height = GetWorkAreaHeight() / std::max(1, modSubMain::ScreenTwipsPerPixelY);
    return QRect(area.right() + 1 - width, area.top(), width, height);
}

void dockRight(QWidget* frm)
{
    const QRect outer = dockedFrame(frm);
    if (outer.isNull()) {
        return;
    }
    placeFrame(frm, outer);
    frm->setProperty(kPendingDock, true);
}

// The least stored placement a window is restored to, in twips: its frame may begin a little
// left of or above the screen, and it is about 200 pixels across and down at least.
constexpr double kLeastLeftTop = -100;
constexpr double kLeastSize = 3000;

void restorePlacement(QWidget* frm)
{
    const QString keyPath = GetFormKeyPath(frm);
    auto& store = SettingsStore::shared();
    // A value the store cannot give counts as missing.
    const auto stored = [&](const QString& sName) {
        try {
            return store.GetStoredSetting(keyPath, sName, QString());
        } catch (...) {
            return QString();
        }
    };
    const auto left = clsApp::TextToNumber(stored(QStringLiteral("Left")));
    const auto top = clsApp::TextToNumber(stored(QStringLiteral("Top")));
    const auto width = clsApp::TextToNumber(stored(QStringLiteral("Width")));
    const auto height = clsApp::TextToNumber(stored(QStringLiteral("Height")));
    const auto lState = clsApp::TextToNumber(stored(QStringLiteral("WindowState")));

    const int tx = std::max(1, modSubMain::ScreenTwipsPerPixelX);
    const int ty = std::max(1, modSubMain::ScreenTwipsPerPixelY);
    const bool usable = left && top && width && height && *left >= kLeastLeftTop &&
                        *top >= kLeastLeftTop && *width >= kLeastSize && *height >= kLeastSize;
    // Pixels, kept far inside the range of a rectangle's whole numbers before any rounding.
    const auto pixels = [](double lTwips, int lTwipsPerPixel) {
        constexpr double kFar = 1 << 24;
        return qRound(std::clamp(lTwips / lTwipsPerPixel, -kFar, kFar));
    };
    QRect frame;
    QRect area;
    if (usable) {
        frame = QRect(pixels(*left, tx), pixels(*top, ty), pixels(*width, tx), pixels(*height, ty));
        area = workAreaOf(frame);
    }
    if (area.isEmpty()) {
        dockRight(frm);
        return;
    }
    // The frame stays inside the work area; it may stand out at the left and top as far as a
    // usable placement may begin there. A size below the window's least size becomes that size,
    // one larger than the work area becomes the work area.
    const QMargins margins = frameMargins(frm);
    const QSize least = frm->minimumSize().grownBy(margins);
    frame.setSize(frame.size().expandedTo(least).boundedTo(area.size()));
    frame.moveLeft(std::clamp(frame.left(), area.left() + pixels(kLeastLeftTop, tx),
                              area.right() + 1 - frame.width()));
    frame.moveTop(std::clamp(frame.top(), area.top() + pixels(kLeastLeftTop, ty),
                             area.bottom() + 1 - frame.height()));
    placeFrame(frm, frame);
    frm->setProperty(kPendingFrame, frame);
    // 0 normal, 1 minimised (restored as normal), 2 maximised; anything else changes nothing.
    if (lState && *lState >= 0 && *lState <= 2) {
        frm->setWindowState(qRound(*lState) == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
    }
}

void savePlacement(QWidget* frm)
{
    const QString keyPath = GetFormKeyPath(frm);
    auto& store = SettingsStore::shared();
    const int tx = modSubMain::ScreenTwipsPerPixelX;
    const int ty = modSubMain::ScreenTwipsPerPixelY;
    // The outer frame; a minimised or maximised window keeps the one it has in the normal state,
    // which is the restored one itself while its frame has not been fitted yet.
    QPoint topLeft = frm->pos();
    QSize size = frm->frameGeometry().size();
    if (frm->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) {
        const QVariant pending = frm->property(kPendingFrame);
        const QRect normal = pending.isValid() ? pending.toRect()
                             : frm->normalGeometry().isValid()
                                 ? frm->normalGeometry().marginsAdded(frameMargins(frm))
                                 : QRect();
        if (normal.isValid()) {
            topLeft = normal.topLeft();
            size = normal.size();
        }
    }
    const QRect frame(topLeft, size);
    try {
        store.SaveStoredSetting(keyPath, QStringLiteral("Left"), twipsText(topLeft.x(), tx));
    } catch (...) {
    }
    try {
        store.SaveStoredSetting(keyPath, QStringLiteral("Top"), twipsText(topLeft.y(), ty));
    } catch (...) {
    }
    try {
        store.SaveStoredSetting(keyPath, QStringLiteral("Width"), twipsText(frame.width(), tx));
    } catch (...) {
    }
    try {
        store.SaveStoredSetting(keyPath, QStringLiteral("Height"), twipsText(frame.height(), ty));
    } catch (...) {
    }
    try {
        const int lState = (frm->windowState() & Qt::WindowMaximized) &&
                                   !(frm->windowState() & Qt::WindowMinimized)
                               ? 2
                               : 0;
        store.SaveStoredSetting(keyPath, QStringLiteral("WindowState"), QString::number(lState));
    } catch (...) {
    }
}

} // namespace

void FormPlacement(bool bRestore, QWidget* frm)
{
    if (!frm) {
        return;
    }
    if (bRestore) {
        restorePlacement(frm);
    } else {
        savePlacement(frm);
    }
}

int TwipsToPixelsX(int lTwips)
{
    return qRound(static_cast<double>(lTwips) / std::max(1, modSubMain::ScreenTwipsPerPixelX));
}

int TwipsToPixelsY(int lTwips)
{
    return qRound(static_cast<double>(lTwips) / std::max(1, modSubMain::ScreenTwipsPerPixelY));
}

QRect TwipsToPixels(int lLeft, int lTop, int lWidth, int lHeight)
{
    return QRect(TwipsToPixelsX(lLeft), TwipsToPixelsY(lTop), TwipsToPixelsX(lWidth),
                 TwipsToPixelsY(lHeight));
}

bool FitFramePlacement(QWidget* frm)
{
    if (!frm) {
        return true;
    }
    const QVariant pending = frm->property(kPendingFrame);
    const bool dock = frm->property(kPendingDock).toBool();
    if (!pending.isValid() && !dock) {
        return true;
    }
    // A minimised or maximised window is fitted when it comes back to its normal state.
    if (frameMargins(frm).isNull() ||
        (frm->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        return false;
    }
    frm->setProperty(kPendingFrame, QVariant());
    frm->setProperty(kPendingDock, QVariant());
    try {
        placeFrame(frm, dock ? dockedFrame(frm) : pending.toRect());
    } catch (...) {
    }
    return true;
}

int GetWorkAreaHeight()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return 0;
    }
    return screen->availableGeometry().height() * modSubMain::ScreenTwipsPerPixelY;
}

void CenterOnScreen(QWidget* frm)
{
    if (const QScreen* screen = frm->screen() ? frm->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frm->frameGeometry();
        frame.moveCenter(screen->geometry().center());
        frm->move(frame.topLeft());
    }
}

void SetAlwaysOnTop(QWidget* frm, bool bOnTop)
{
    if (!frm || frm->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == bOnTop) {
        return;
    }
    QWindow* window = frm->windowHandle();
    if (!window) {
        frm->setWindowFlag(Qt::WindowStaysOnTopHint, bOnTop);
        return;
    }
    // Applying the widget's flags again would hide the window and show it anew, a visible blink:
    // the native window changes its stay-on-top state in place, and the widget only records it.
    window->setFlag(Qt::WindowStaysOnTopHint, bOnTop);
    frm->overrideWindowFlags(frm->windowFlags().setFlag(Qt::WindowStaysOnTopHint, bOnTop));
}

void ComboAutoComplete(QComboBox* cbo, int& rlKeyAscii)
{
    if (!cbo || !cbo->lineEdit()) {
        return;
    }
    if (rlKeyAscii == vbKeyBack || rlKeyAscii == vbKeyReturn || rlKeyAscii == 0) {
        return;
    }
    QLineEdit* edit = cbo->lineEdit();
    if (!edit->hasSelectedText() && !edit->text().isEmpty()) {
        return;
    }
    const int selStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const QString prefix =
        edit->text().left(selStart) + QString(QChar(static_cast<char16_t>(rlKeyAscii)));
    const int index = cbo->findText(prefix, Qt::MatchStartsWith);
    if (index < 0) {
        return;
    }
    cbo->setCurrentIndex(index);
    const QString full = cbo->itemText(index);
    edit->setText(full);
    // Caret after the prefix, the rest of the item selected.
    edit->setSelection(full.size(),
                       static_cast<int>(prefix.size()) - static_cast<int>(full.size()));
    rlKeyAscii = 0;
}

void SelectAllText(QWidget* txt)
{
    if (auto* line = qobject_cast<QLineEdit*>(txt)) {
        line->setCursorPosition(0);
        line->selectAll();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(txt)) {
        plain->selectAll();
    } else if (auto* rich = qobject_cast<QTextEdit*>(txt)) {
        rich->selectAll();
    }
}

void SetHandCursor(QWidget* ctl)
{
    if (ctl) {
        ctl->setCursor(Qt::PointingHandCursor);
    }
}

void DragWindow(QWidget* frm)
{
    if (!frm) {
        return;
    }
    if (QWindow* window = frm->window()->windowHandle()) {
        window->startSystemMove();
    }
}

QString TrimSpaces(const QString& sText)
{
    qsizetype first = 0;
    qsizetype last = sText.size();
    while (first < last && sText[first] == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && sText[last - 1] == QLatin1Char(' ')) {
        --last;
    }
    return sText.mid(first, last - first);
}

namespace {

QString reversed(const QString& sText)
{
    QString out = sText;
    std::reverse(out.begin(), out.end());
    return out;
}

} // namespace

QString TrimLeadingCrLf(const QString& sText)
{
    const QString text = TrimSpaces(sText);
    qsizetype first = 0;
    while (first < text.size() &&
           (text[first] == QLatin1Char('\r') || text[first] == QLatin1Char('\n'))) {
        ++first;
    }
    return text.mid(first);
}

QString TrimCrLf(const QString& sText)
{
    const QString a = TrimLeadingCrLf(sText);
    return reversed(TrimSpaces(TrimLeadingCrLf(reversed(a))));
}

void ShowHelpTopic(int lTopic)
{
    // The help ships with the program. The page's address is written encoded, so that a
    // space, "#" or "?" in a folder name stays part of the path and the topic after "#" survives.
    const QString page = QDir::fromNativeSeparators(clsApp::shared().HelpPath()) +
                         QStringLiteral("/keycask/keycask.htm");
    const QString address = QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded) +
                            QStringLiteral("??") + QStringLiteral("#") + GetHelpTopicPath(lTopic);
    FileHelper::shared().Launch(address, false);
}

QString GetHelpTopicPath(int lTopic)
{
    switch (lTopic) {
    case 1:
        return QStringLiteral("keycask/welcome.htm");
    case 13:
        return QStringLiteral("file_folders/about_file_folders.htm");
    case 17:
        return QStringLiteral("passwords/about_passwords.htm");
    default:
        return QString();
    }
}

void KeepToOwner(const QString& sPath)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) {
        ::fchmod(fd, st.st_mode & 0700);
    }
    ::close(fd);
#else
    Q_UNUSED(sPath);
#endif
}

bool IsForeignFolder(const QString& sFolder)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    return ::stat(QFile::encodeName(sFolder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           (st.st_uid != ::geteuid() || (st.st_mode & 022) != 0);
#else
    Q_UNUSED(sFolder);
    return false;
#endif
}

} // namespace modGeneral
