// Small shared procedures: SQL and text quoting, time stamps, window placement, topmost
// windows, combo-box type-ahead, selection, cursors, window dragging, trimming and help.
#pragma once

#include <QRect>
#include <QString>
#include <exception>

class QComboBox;
class QWidget;

namespace modGeneral {

// Runs one step of a procedure whose steps each ignore their own failure: an error of the step
// is dropped and the caller goes on with the next.
template <typename Step> void IgnoreErrors(Step&& step)
{
    try {
        step();
    } catch (const std::exception&) {
    }
}

// Takes back the rights of others on a file or folder the user owns, silently; a symbolic link
// is left alone. Files that hold secrets and their folders are their owner's alone.
void KeepToOwner(const QString& sPath);

// True for an existing folder (followed through links) that belongs to another user or that
// others can write in: no place for the user's files.
bool IsForeignFolder(const QString& sFolder);

// The key code of Backspace and Enter as the type-ahead sees them.
inline constexpr int vbKeyBack = 8;
inline constexpr int vbKeyReturn = 13;

// Empty text gives sValueIfEmpty; other text an SQL text literal with every apostrophe doubled,
// or, for a text holding NUL, CAST(X'<its UTF-8 bytes>' AS TEXT) (data files are UTF-8).
QString QuoteSQL(const QString& sText, const QString& sValueIfEmpty);
QString QuoteText(const QString& sText);
QString GetTimeStamp();
QString GetFormKeyPath(const QWidget* frm);
// A length in twips as pixels of the screen (rounded), across and down; a rectangle of them.
int TwipsToPixelsX(int lTwips);
int TwipsToPixelsY(int lTwips);
QRect TwipsToPixels(int lLeft, int lTop, int lWidth, int lHeight);
// Placement keeps the window's outer frame (title bar and borders included), as the user sees it.
void FormPlacement(bool bRestore, QWidget* frm);
// A frame drawn by a window manager is known only once the window is on the screen: fits the
// frame of a restored or docked window to its placement then. Returns true when nothing is left
// to fit (done now or earlier, or nothing was asked); false while the frame is still unknown.
bool FitFramePlacement(QWidget* frm);
int GetWorkAreaHeight();
void SetAlwaysOnTop(QWidget* frm, bool bOnTop);
// Puts the window's frame in the middle of its screen.
void CenterOnScreen(QWidget* frm);
// Type-ahead for an editable combo box, for one typed key: rlKeyAscii is the character code,
// or 8 for Backspace and 13 for Enter; it becomes 0 when the key is used up here.
void ComboAutoComplete(QComboBox* cbo, int& rlKeyAscii);
// Works on line edits and multi-line text boxes.
void SelectAllText(QWidget* txt);
void SetHandCursor(QWidget* ctl);
void DragWindow(QWidget* frm);
QString TrimCrLf(const QString& sText);
// Removes spaces, and only spaces, from both ends.
QString TrimSpaces(const QString& sText);
QString TrimLeadingCrLf(const QString& sText);
void ShowHelpTopic(int lTopic);
QString GetHelpTopicPath(int lTopic);

// The maker's web site: the update page and the home page live there (the help ships with the
// program, in its help folder).
inline constexpr char16_t WEB_HOST[] = u"https://www.quillonsoftware.example";

} // namespace modGeneral
