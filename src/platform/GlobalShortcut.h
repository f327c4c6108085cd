// A key combination that reaches KeyCask from any program of an X11 session: the key is grabbed
// on the root window and its presses are picked out of the events the application receives.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QKeySequence>
#include <QObject>
#include <vector>

class GlobalShortcut : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    enum class Result {
        Set,
        // The empty sequence: no key is grabbed.
        Off,
        // Another program holds the key already.
        Conflict,
        // Not an X11 session, or a key X has no key code for.
        Unavailable,
    };

    explicit GlobalShortcut(QObject* parent = nullptr);
    ~GlobalShortcut() override;

    // Gives up the key held so far and grabs the first key combination of the sequence, with Caps
    // Lock and Num Lock in any state.
    Result SetShortcut(const QKeySequence& keys);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void Activated();

private:
    void release();

    unsigned char m_keycode = 0;
    unsigned int m_modifiers = 0;
    // The modifier combinations grabbed along with m_modifiers.
    std::vector<unsigned int> m_variants;
};
