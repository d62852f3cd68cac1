#include "ombrix/windows/common/ToolWindowStyle.h"

#include <QApplication>
#include <QStyle>

#include "ombrix/settings/SettingsStore.h"

namespace ombrix {
namespace {

bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void useStyle(const QString& name) {
    if (QApplication::style()->name().compare(name, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(name);
}

}  // namespace

ToolWindowStyle::ToolWindowStyle(SettingsStore& store, QObject* parent)
    : QObject(parent), store_(store) {
    if (haveWidgets()) {
        desktopStyle_ = QApplication::style()->name();
        panelPalette_ = QApplication::palette();
    }
    connect(&store_, &SettingsStore::changed, this, [this] {
        if (showsDesktop() != desktopShown_) apply();
    });
}

ToolWindowStyle::~ToolWindowStyle() {
    if (desktopShown_ || !haveWidgets()) return;
    useStyle(desktopStyle_);
    // A palette without roles of its own is the desktop's.
    QApplication::setPalette(QPalette());
}

bool ToolWindowStyle::showsDesktop() const noexcept {
    return store_.settings().desktopstyle || !havePanel_;
}

void ToolWindowStyle::setPanelColours(const std::optional<PanelPalette::Colours>& colours) {
    havePanel_ = colours.has_value();
    if (colours) panelPalette_ = PanelPalette::derive(*colours);
    apply();
}

void ToolWindowStyle::apply() {
    const bool desktop = showsDesktop();
    if (!haveWidgets() || (desktop && desktopShown_)) {
        desktopShown_ = desktop;
        return;
    }
    desktopShown_ = desktop;
    if (desktop) {
        useStyle(desktopStyle_);
        QApplication::setPalette(QPalette());
        return;
    }
    // The style first: a new style brings its own standard palette along.
    useStyle(kPanelStyle);
    QApplication::setPalette(panelPalette_);
}

}  // namespace ombrix
