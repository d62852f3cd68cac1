#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief What the playback controller asks of the program around it: requests only, no state.
 *        Everything the controller knows reaches the screen through its state snapshot and the
 *        changed() mask. Every method has a do-nothing default, so tests and windowless hosts
 *        implement only what they need.
 *
 * Thread affinity: main thread.
 */
class ControllerHost {
public:
    virtual ~ControllerHost() = default;

    /// The program is to close (automatic exit, the terminate key).
    virtual void closeProgram() {}
    /// An information box titled with the application title.
    virtual void showMessage(const QString& text) { (void)text; }
    /// Opens the tag editor on @p file.
    virtual void openTagEditor(const QString& file) { (void)file; }
};

}  // namespace ombrix
