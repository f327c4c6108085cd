// What the two entry editors share: their window (fixed size in twips, Verdana, grey) and the
// banner across its top (icon, the entry's name in bold white on the gradient, a shadow below).
#pragma once

#include <QString>
#include <Qt>
#include <functional>

class GradientPanel;
class QDialog;
class QLabel;

namespace modEditor {

// A fixed dialog border with a close button only.
inline constexpr Qt::WindowFlags WINDOW_FLAGS =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// The banner's parts.
struct Banner
{
    GradientPanel* picTop = nullptr;
    QLabel* imgTop = nullptr;
    QLabel* lblTop = nullptr;
    QLabel* imgDropShadow = nullptr;
};

// Sets up an editor window of the given client size and its banner, with the banner image
// (a resource path) as its icon.
Banner SetUpWindow(QDialog* frm, const QString& sName, const QString& sBannerImage,
                   int lClientWidth, int lClientHeight, int lBannerHeight);

// What closing an editor with unsaved changes comes to, after asking "Save Changes?".
enum class CloseAnswer { Stay, Saved, Discard };

// Asks whether to save before closing; Yes runs the save, and a save that fails keeps the
// window open with the user's input.
CloseAnswer AskSaveChanges(QDialog* frm, const std::function<bool()>& save);

} // namespace modEditor
