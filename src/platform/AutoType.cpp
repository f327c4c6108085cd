// Typing through the X Test extension: each character as the key and modifiers that give it in
// the current layout, or on a spare key code lent its keysym for the typing.
#include "platform/AutoType.h"

#include "platform/SecretText.h"

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <bit>
#include <map>
#include <optional>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

const QString AutoType::UNAVAILABLE_TEXT =
    QStringLiteral("Typing into other windows needs an X11 session");

namespace {

// How long lent key codes keep their keysyms after the last key, so that the programs that
// received the keys have read the changed layout before it goes back.
constexpr int kRestoreDelayMs = 500;
constexpr int kPollMs = 20;

Display* display()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

Atom atom(Display* d, const char* sName)
{
    return XInternAtom(d, sName, False);
}

// The first 32-bit value of a window's property (a window, a number); nullopt when it has none.
std::optional<unsigned long> numberProperty(Display* d, Window w, const char* sName, Atom type)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(d, w, atom(d, sName), 0, 1, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && format == 32 && count == 1) {
        // Xlib hands 32-bit items as longs.
        value = *reinterpret_cast<unsigned long*>(data);
    }
    if (data) {
        XFree(data);
    }
    return value;
}

bool hasWindowManager(Display* d)
{
    return numberProperty(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
        .has_value();
}

// The keysym that stands for a character: Latin-1 by its own number, the rest in the Unicode
// keysym range; tab and line ends as their keys.
KeySym keysymFor(char32_t c)
{
    if (c == U'\t') {
        return XK_Tab;
    }
    if (c == U'\n' || c == U'\r') {
        return XK_Return;
    }
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff)) {
        return c;
    }
    return 0x01000000 | c;
}

// The layout may name a Latin-1 character by its Unicode keysym.
KeySym plainKeysym(KeySym ks)
{
    return (ks & 0xff000000) == 0x01000000 && (ks & 0xffffff) <= 0xff ? (ks & 0xff) : ks;
}

} // namespace

AutoType::AutoType(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_strokes.empty()) {
            waitStep();
        } else {
            typeStep();
        }
    });
}

AutoType::~AutoType()
{
    // Ended in the middle (KeyCask quits while it waits or types): Caps Lock and the lent keys
    // are given back at once, since the server keeps a changed mapping after KeyCask is gone.
    if (m_busy) {
        endTyping();
    }
    restoreKeys();
}

bool AutoType::Available()
{
    Display* d = display();
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    return d && XTestQueryExtension(d, &event, &error, &major, &minor);
}

unsigned long AutoType::ActiveWindow()
{
    Display* d = display();
    if (!d) {
        return 0;
    }
    if (hasWindowManager(d)) {
        return numberProperty(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", XA_WINDOW).value_or(0);
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}

QString AutoType::WindowTitle(unsigned long ulWindow)
{
    Display* d = display();
    if (!d || !ulWindow) {
        return QString();
    }
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QString title;
    if (XGetWindowProperty(d, ulWindow, atom(d, "_NET_WM_NAME"), 0, 1024, False,
                           atom(d, "UTF8_STRING"), &actual, &format, &count, &after,
                           &data) == Success &&
        data && format == 8) {
        title = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(count));
    }
    if (data) {
        XFree(data);
    }
    XTextProperty name{};
    if (title.isEmpty() && XGetWMName(d, ulWindow, &name) && name.value) {
        char** list = nullptr;
        int items = 0;
        if (Xutf8TextPropertyToTextList(d, &name, &list, &items) >= Success && list) {
            title = items > 0 ? QString::fromUtf8(list[0]) : QString();
            XFreeStringList(list);
        }
        XFree(name.value);
    }
    return title;
}

bool AutoType::IsOwnWindow(unsigned long ulWindow)
{
    if (!ulWindow) {
        return false;
    }
    const auto windows = QGuiApplication::allWindows();
    for (const QWindow* window : windows) {
        if (window->handle() && window->winId() == ulWindow) {
            return true;
        }
    }
    Display* d = display();
    return d && numberProperty(d, ulWindow, "_NET_WM_PID", XA_CARDINAL) ==
                    static_cast<unsigned long>(::getpid());
}

void AutoType::Activate(unsigned long ulWindow)
{
    Display* d = display();
    if (!d || !ulWindow) {
        return;
    }
    if (hasWindowManager(d)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = ulWindow;
        event.xclient.message_type = atom(d, "_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        // From a pager: the user asked for it.
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, DefaultRootWindow(d), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XSetInputFocus(d, ulWindow, RevertToParent, CurrentTime);
    }
    XFlush(d);
}

void AutoType::setDelayMs(int lDelayMs)
{
    m_delayMs = lDelayMs;
}

bool AutoType::Start(QString sText, unsigned long ulWindow)
{
    if (m_busy || !display()) {
        SecretText::Wipe(sText);
        return false;
    }
    restoreKeys();
    m_busy = true;
    m_text = std::move(sText);
    m_wanted = ulWindow;
    m_window = 0;
    m_activationAsked = false;
    m_waited.start();
    waitStep();
    return true;
}

void AutoType::waitStep()
{
    Display* d = display();
    const unsigned long active = ActiveWindow();
    const bool windowReady = active && !IsOwnWindow(active) && (!m_wanted || active == m_wanted);
    if (m_wanted && active != m_wanted && !m_activationAsked) {
        m_activationAsked = true;
        Activate(m_wanted);
    }
    // The keys of a shortcut still down would change what the characters mean.
    char keys[32] = {};
    XQueryKeymap(d, keys);
    const bool keysFree = std::all_of(std::begin(keys), std::end(keys), [](char c) { return !c; });
    if (windowReady && keysFree) {
        m_window = active;
        if (!prepare()) {
            finish(Result::NoKeyFree);
            return;
        }
        typeStep();
        return;
    }
    if (m_waited.elapsed() >= WAIT_MS) {
        finish(windowReady ? Result::KeysHeld : Result::NoTarget);
        return;
    }
    m_timer.start(kPollMs);
}

bool AutoType::prepare()
{
    Display* d = display();
    XkbDescPtr xkb = XkbGetMap(d, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb) {
        return false;
    }
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    XModifierKeymap* modifiers = XGetModifierMapping(d);
    for (int bit = 0; bit < 8; ++bit) {
        m_modifierKeys[bit] = 0;
        for (int i = 0; modifiers && i < modifiers->max_keypermod; ++i) {
            if (const KeyCode code = modifiers->modifiermap[bit * modifiers->max_keypermod + i]) {
                m_modifierKeys[bit] = code;
                break;
            }
        }
    }
    if (modifiers) {
        XFreeModifiermap(modifiers);
    }
    const unsigned int numLock = XkbKeysymToModifiers(d, XK_Num_Lock);
    const auto reachable = [this](unsigned int mask) {
        for (int bit = 0; bit < 8; ++bit) {
            if ((mask & (1u << bit)) && !m_modifierKeys[bit]) {
                return false;
            }
        }
        return true;
    };

    // What the current group of the layout types, each keysym by its key needing the fewest
    // modifiers; keypad keys (their level follows Num Lock) left out. Keys with no keysym at
    // all are free to lend.
    std::map<KeySym, Stroke> layout;
    std::vector<unsigned char> spare;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        const int groups = XkbKeyNumGroups(xkb, code);
        bool anySymbol = false;
        for (int i = 0; i < XkbKeyNumSyms(xkb, code); ++i) {
            anySymbol = anySymbol || XkbKeySymsPtr(xkb, code)[i] != NoSymbol;
        }
        if (!anySymbol) {
            spare.push_back(static_cast<unsigned char>(code));
            continue;
        }
        const int group = state.group < groups ? state.group : 0;
        const XkbKeyTypePtr type = XkbKeyKeyType(xkb, code, group);
        if (type->mods.mask & numLock) {
            continue;
        }
        for (int level = 0; level < type->num_levels; ++level) {
            const KeySym ks = plainKeysym(XkbKeySymEntry(xkb, code, level, group));
            if (ks == NoSymbol) {
                continue;
            }
            std::optional<unsigned int> mask;
            if (level == 0) {
                mask = 0;
            }
            for (int e = 0; e < type->map_count; ++e) {
                const XkbKTMapEntryRec& entry = type->map[e];
                const unsigned int m = entry.mods.mask;
                if (entry.active && entry.level == level && !(m & (LockMask | numLock)) &&
                    reachable(m) && (!mask || std::popcount(m) < std::popcount(*mask))) {
                    mask = m;
                }
            }
            if (!mask) {
                continue;
            }
            const auto known = layout.find(ks);
            if (known == layout.end() ||
                std::popcount(*mask) < std::popcount(known->second.modifiers)) {
                layout[ks] = {static_cast<unsigned char>(code), *mask};
            }
        }
    }
    XkbFreeKeyboard(xkb, 0, True);

    QList<uint> characters = m_text.toUcs4();
    bool complete = true;
    // The keys lent so far, by the keysym they give; zeroed after, as the strokes are: both
    // spell the text. The strokes never move to a larger buffer, which would leave a copy.
    std::vector<std::pair<KeySym, Stroke>> lent;
    m_strokes.reserve(std::size_t(characters.size()));
    lent.reserve(spare.size());
    for (const uint c : characters) {
        const KeySym ks = keysymFor(c);
        const auto own = std::find_if(lent.begin(), lent.end(),
                                      [ks](const auto& pair) { return pair.first == ks; });
        if (const auto it = layout.find(ks); it != layout.end()) {
            m_strokes.push_back(it->second);
        } else if (own != lent.end()) {
            m_strokes.push_back(own->second);
        } else if (!spare.empty()) {
            // The spare key gives the keysym with or without Shift.
            const unsigned char code = spare.back();
            spare.pop_back();
            KeySym syms[2] = {ks, ks};
            XChangeKeyboardMapping(d, code, 2, syms, 1);
            m_lentKeys.push_back(code);
            lent.push_back({ks, {code, 0}});
            m_strokes.push_back(lent.back().second);
        } else {
            complete = false;
            break;
        }
    }
    SecretText::Zero(characters.data(), std::size_t(characters.size()) * sizeof(uint));
    SecretText::Zero(lent.data(), lent.size() * sizeof(lent.front()));
    lent.clear();
    if (!complete) {
        return false;
    }
    // Caps Lock would turn letters to capitals: it is off while KeyCask types.
    if (state.locked_mods & LockMask) {
        const KeyCode caps = XKeysymToKeycode(d, XK_Caps_Lock);
        XTestFakeKeyEvent(d, caps, True, CurrentTime);
        XTestFakeKeyEvent(d, caps, False, CurrentTime);
        m_capsLockReleased = true;
    }
    XFlush(d);
    m_next = 0;
    return true;
}

void AutoType::sendStroke(const Stroke& stroke)
{
    Display* d = display();
    for (int bit = 0; bit < 8; ++bit) {
        if (stroke.modifiers & (1u << bit)) {
            XTestFakeKeyEvent(d, m_modifierKeys[bit], True, CurrentTime);
        }
    }
    XTestFakeKeyEvent(d, stroke.keycode, True, CurrentTime);
    XTestFakeKeyEvent(d, stroke.keycode, False, CurrentTime);
    for (int bit = 7; bit >= 0; --bit) {
        if (stroke.modifiers & (1u << bit)) {
            XTestFakeKeyEvent(d, m_modifierKeys[bit], False, CurrentTime);
        }
    }
    // Delivered before anything else happens, so the focus check before the next key holds.
    XSync(d, False);
}

void AutoType::typeStep()
{
    if (m_next >= m_strokes.size()) {
        finish(Result::Typed);
        return;
    }
    // Never a key into a window the user has moved to meanwhile.
    if (ActiveWindow() != m_window) {
        finish(Result::FocusChanged);
        return;
    }
    const int at = static_cast<int>(m_next);
    sendStroke(m_strokes[m_next++]);
    if (StepHook) {
        StepHook(at);
    }
    m_timer.start(m_delayMs);
}

void AutoType::finish(Result result)
{
    endTyping();
    if (!m_lentKeys.empty()) {
        QTimer::singleShot(kRestoreDelayMs, this, &AutoType::restoreKeys);
    }
    Q_EMIT Finished(result);
}

void AutoType::endTyping()
{
    m_timer.stop();
    SecretText::Wipe(m_text);
    SecretText::Zero(m_strokes.data(), m_strokes.size() * sizeof(Stroke));
    m_strokes.clear();
    m_next = 0;
    Display* d = display();
    if (m_capsLockReleased && d) {
        m_capsLockReleased = false;
        const KeyCode caps = XKeysymToKeycode(d, XK_Caps_Lock);
        XTestFakeKeyEvent(d, caps, True, CurrentTime);
        XTestFakeKeyEvent(d, caps, False, CurrentTime);
        XFlush(d);
    }
    m_busy = false;
}

void AutoType::restoreKeys()
{
    Display* d = display();
    if (d && !m_busy) {
        for (const unsigned char code : m_lentKeys) {
            KeySym none[2] = {NoSymbol, NoSymbol};
            XChangeKeyboardMapping(d, code, 2, none, 1);
        }
        XFlush(d);
    }
    if (!m_busy) {
        m_lentKeys.clear();
    }
}
