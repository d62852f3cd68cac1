#pragma once

#include <Qt>

namespace ombrix {

/**
 * @brief Windows virtual-key codes, the codes the key bindings are stored in, from Qt keys.
 *
 * Thread affinity: any (pure functions).
 */
struct VirtualKey {
    /// The code of @p key (a Qt::Key); keypad digits (with Qt::KeypadModifier) give 96..105.
    /// 0 for keys without a code.
    static int fromQt(int key, Qt::KeyboardModifiers modifiers);
};

}  // namespace ombrix
