#include "ombrix/desktop/GlobalHotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <vector>

#include "ombrix/desktop/HotKeySequence.h"

// Xlib last: its macros (Status, None, KeyPress...) clash with Qt's headers.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

// Xlib's macros clash with Qt names used below.
#undef KeyPress
#undef None

namespace ombrix {
namespace {

int grabFailed = 0;
int recordGrabError(Display*, XErrorEvent* e) {
    if (e->error_code == BadAccess) grabFailed = 1;
    return 0;
}

// Key grabs on the root window; presses arrive through Qt's native event filter.
class X11HotKeys final : public GlobalHotKeys, public QAbstractNativeEventFilter {
public:
    X11HotKeys(Display* display, QObject* parent) : GlobalHotKeys(parent), display_(display) {
        qApp->installNativeEventFilter(this);
    }
    ~X11HotKeys() override {
        unregisterAll();
        qApp->removeNativeEventFilter(this);
    }

    bool available() const override { return true; }
    QString unavailableReason() const override { return {}; }

    bool registerKey(int id, const QString& sequence) override {
        const auto seq = HotKeySequence::parse(sequence);
        if (!seq) return false;
        const KeySym sym = XStringToKeysym(seq->key.toLatin1().constData());
        if (sym == NoSymbol) return false;
        const KeyCode code = XKeysymToKeycode(display_, sym);
        if (code == 0) return false;
        unsigned mods = 0;
        if (seq->modifiers & HotKeySequence::kShift) mods |= ShiftMask;
        if (seq->modifiers & HotKeySequence::kCtrl) mods |= ControlMask;
        if (seq->modifiers & HotKeySequence::kAlt) mods |= Mod1Mask;
        if (seq->modifiers & HotKeySequence::kMeta) mods |= Mod4Mask;
        // Caps Lock and Num Lock must not keep the combination from working.
        const unsigned variants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
        const Window root = DefaultRootWindow(display_);
        XSync(display_, False);
        grabFailed = 0;
        auto old = XSetErrorHandler(&recordGrabError);
        for (unsigned v : variants)
            XGrabKey(display_, code, mods | v, root, True, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
        XSetErrorHandler(old);
        if (grabFailed) {
            for (unsigned v : variants) XUngrabKey(display_, code, mods | v, root);
            XSync(display_, False);
            return false;
        }
        grabs_.push_back({id, code, mods});
        return true;
    }

    void unregisterAll() override {
        const Window root = DefaultRootWindow(display_);
        const unsigned variants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
        for (const Grab& g : grabs_)
            for (unsigned v : variants) XUngrabKey(display_, g.code, g.mods | v, root);
        if (!grabs_.empty()) XSync(display_, False);
        grabs_.clear();
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        auto* ev = static_cast<xcb_generic_event_t*>(message);
        if ((ev->response_type & ~0x80) != XCB_KEY_PRESS) return false;
        auto* key = static_cast<xcb_key_press_event_t*>(message);
        const unsigned mods = key->state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
        for (const Grab& g : grabs_)
            if (g.code == key->detail && g.mods == mods) {
                emit activated(g.id);
                return true;
            }
        return false;
    }

private:
    struct Grab {
        int id;
        KeyCode code;
        unsigned mods;
    };
    Display* display_;
    std::vector<Grab> grabs_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::create(QObject* parent) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            if (Display* d = x11->display()) return std::make_unique<X11HotKeys>(d, parent);
    }
    const QString platform = QGuiApplication::platformName();
    return std::make_unique<UnavailableHotKeys>(
        QStringLiteral("System-wide hot keys are not available in this session (%1).")
            .arg(platform.startsWith(QLatin1String("wayland")) ? QStringLiteral("Wayland")
                                                               : platform),
        parent);
}

}  // namespace ombrix
