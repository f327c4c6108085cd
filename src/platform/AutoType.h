// Typing text into another program's window through the X Test extension, key by key in the
// keyboard's current layout, and what KeyCask reads of the windows of an X11 session.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class AutoType : public QObject
{
    Q_OBJECT

public:
    // How a typing ended.
    enum class Result {
        Typed,
        // No window but KeyCask's had the input (or the one asked for did not take it) in time.
        NoTarget,
        // Keys were still held down when the typing should have begun.
        KeysHeld,
        // The input moved to another window: the typing stopped there.
        FocusChanged,
        // A character could not be given a key: nothing was typed.
        NoKeyFree,
    };

    explicit AutoType(QObject* parent = nullptr);
    ~AutoType() override;

    // True where the program's windows live in an X11 session that offers the X Test extension.
    static bool Available();
    static const QString UNAVAILABLE_TEXT;
    // The window the user works in: the window manager's active window, else the one with the
    // X input focus; 0 when there is none.
    static unsigned long ActiveWindow();
    // The window's title (UTF-8 name, else the older one).
    static QString WindowTitle(unsigned long ulWindow);
    // True for a window of this program.
    static bool IsOwnWindow(unsigned long ulWindow);
    // Asks the window manager to activate the window (or gives it the input focus directly).
    static void Activate(unsigned long ulWindow);

    // Takes the text over and types it once a window that is not KeyCask's has the input (the one
    // given, activated if needed, or any with 0) and no key is held, waiting at most
    // WAIT_MS. The text is wiped when the typing ends. False when a typing is running already.
    bool Start(QString sText, unsigned long ulWindow);
    bool IsBusy() const { return m_busy; }
    // Milliseconds between two characters.
    void setDelayMs(int lDelayMs);
    static constexpr int WAIT_MS = 2000;

    // Run after each character is sent, with its position; tests move the focus from here.
    static inline std::function<void(int)> StepHook;

Q_SIGNALS:
    void Finished(AutoType::Result result);

private:
    // One character: the key code and the modifiers that give it.
    struct Stroke
    {
        unsigned char keycode = 0;
        unsigned int modifiers = 0;
    };
    void waitStep();
    bool prepare();
    void typeStep();
    void finish(Result result);
    // Stops the typing and gives back what it changed (Caps Lock), wiping the text it held.
    void endTyping();
    void restoreKeys();
    void sendStroke(const Stroke& stroke);

    bool m_busy = false;
    int m_delayMs = 10;
    QString m_text;
    unsigned long m_window = 0;
    unsigned long m_wanted = 0;
    bool m_activationAsked = false;
    QElapsedTimer m_waited;
    QTimer m_timer;
    std::vector<Stroke> m_strokes;
    std::size_t m_next = 0;
    // The key code of each modifier bit (Shift, Lock, Control, Mod1 to Mod5).
    unsigned char m_modifierKeys[8] = {};
    // Key codes lent a keysym for this typing, given back when it has ended.
    std::vector<unsigned char> m_lentKeys;
    bool m_capsLockReleased = false;
};
