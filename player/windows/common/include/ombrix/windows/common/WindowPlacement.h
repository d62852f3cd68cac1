#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

namespace ombrix {

class SettingsStore;

/**
 * @brief Where a tool window stands: its place (and size, for resizable windows) kept in the
 *        main settings file's "form" section under the window's name ("fplaylist" gives
 *        "fplaylistleft", "fplaylisttop", ...), and never restored off every screen.
 *
 * Thread affinity: main thread.
 */
class WindowPlacement {
public:
    static inline const QString kSection = QStringLiteral("form");

    /**
     * @brief @p frame moved onto a screen when it shows too little of itself on all of
     *        @p screens (at least 48 × 24 pixels of it must be visible on one of them); it
     *        then goes to the top left of @p primary, shrunk to fit it. Pure function.
     */
    static QRect keptOnScreen(const QRect& frame, const QList<QRect>& screens,
                              const QRect& primary);

    /// Moves (and, with @p withSize, resizes) @p window to its stored place, kept on screen.
    /// Nothing happens when no place is stored.
    static void restore(QWidget& window, SettingsStore& store, const QString& name, bool withSize);
    /// Stores the place of @p window; failures to write the file are reported as a warning
    /// only (a window closing at exit has nobody to tell).
    static void save(const QWidget& window, SettingsStore& store, const QString& name,
                     bool withSize);
};

}  // namespace ombrix
