#pragma once

#include <QObject>
#include <QPalette>
#include <QString>
#include <optional>

#include "ombrix/windows/common/PanelPalette.h"

namespace ombrix {

class SettingsStore;

/**
 * @brief One look for every window of the program beside the panel (the playlist, tag, DJ,
 *        equaliser and about windows, their dialogs and the menus): the Fusion style in the
 *        palette PanelPalette derives from the loaded panel, or the desktop's own style and
 *        palette when the "desktopstyle" setting is on.
 *
 * It sets the application's style and palette, so windows opened later take the look as well
 * and open ones take a new panel's palette on the next turn of the event loop. The desktop's
 * style and palette are given back when the object goes (and while "desktopstyle" is on).
 * Thread affinity: main thread; one object at a time.
 */
class ToolWindowStyle : public QObject {
    Q_OBJECT
public:
    /// The style the panel's palette is shown in: it draws every role of a palette.
    static inline const QString kPanelStyle = QStringLiteral("Fusion");

    /// Follows the "desktopstyle" setting of @p store from now on.
    explicit ToolWindowStyle(SettingsStore& store, QObject* parent = nullptr);
    ~ToolWindowStyle() override;
    ToolWindowStyle(const ToolWindowStyle&) = delete;
    ToolWindowStyle& operator=(const ToolWindowStyle&) = delete;

    /// A panel was loaded: its colours, or nullopt for a panel without visible pixels (the
    /// desktop's palette is then kept).
    void setPanelColours(const std::optional<PanelPalette::Colours>& colours);
    /// The desktop's look is shown (the setting is on, or no panel colours are known).
    bool showsDesktop() const noexcept;
    /// The palette derived from the last panel (the desktop's before the first).
    const QPalette& panelPalette() const noexcept { return panelPalette_; }

private:
    void apply();

    SettingsStore& store_;
    QString desktopStyle_;  // the style the desktop chose, by name
    QPalette panelPalette_;
    bool havePanel_ = false;
    bool desktopShown_ = true;
};

}  // namespace ombrix
