// Message boxes with the flags and answers of the classic Windows message box, and a responder
// that tests install to record the prompt and answer in place of the user.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace MsgBox {

// Buttons (low nibble) and icons (flag values as the classic message box defines them).
enum Flags : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    // The third button (Cancel of Yes/No/Cancel) is the default one.
    vbDefaultButton3 = 512,
};

// Answers.
enum Answer : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// One message as shown.
struct Call
{
    QString prompt;
    int flags = 0;
    QString title;
    // The captions given in place of the standard buttons' texts, in their order.
    QStringList buttons;
};

using Responder = std::function<int(const Call&)>;

// The application's title, used when no title is given.
QString AppTitle();

// Shows the message modally and returns the button the user chose. Captions, with their
// mnemonics, replace the texts of the buttons the flags give, in order (OK or Yes, No, Cancel); the
// answers stay those of the standard buttons.
int Show(const QString& sPrompt, int lFlags = vbOKOnly, const QString& sTitle = QString(),
         QWidget* parent = nullptr, const QStringList& captions = {});

// Replaces the user: every message goes to the responder instead of a window. Pass an empty
// function to show real windows again.
void SetResponder(Responder responder);

} // namespace MsgBox
