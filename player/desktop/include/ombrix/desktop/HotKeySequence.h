#pragma once

#include <QString>
#include <optional>

namespace ombrix {

/**
 * @brief A key combination as the settings store it ("SHIFT+CTRL+U"): modifiers SHIFT, CTRL,
 *        ALT and WIN (or META), then one key name.
 *
 * Thread affinity: a value type.
 */
struct HotKeySequence {
    enum Modifier { kShift = 1, kCtrl = 2, kAlt = 4, kMeta = 8 };
    int modifiers = 0;
    QString key;  ///< "U", "F5", "Home", "Space"...

    /// nullopt when the text names no key, or a modifier it does not know.
    static std::optional<HotKeySequence> parse(const QString& text);
    bool operator==(const HotKeySequence&) const = default;
};

}  // namespace ombrix
