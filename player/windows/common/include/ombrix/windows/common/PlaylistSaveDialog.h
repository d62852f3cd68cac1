#pragma once

#include <QString>

class QWidget;

namespace ombrix {

/**
 * @brief "Save playlist as": asks for the file a playlist is written to.
 *
 * Thread affinity: main thread.
 */
class PlaylistSaveDialog {
public:
    /// The chosen file, with ".dmp" added when the name has no suffix; empty when cancelled.
    static QString ask(QWidget* parent);
};

}  // namespace ombrix
