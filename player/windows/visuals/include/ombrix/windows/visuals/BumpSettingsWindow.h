#pragma once

#include <QDialog>

#include "ombrix/skin/BumpBackground.h"

class QSpinBox;
class QLabel;

namespace ombrix {

class SettingsStore;

/**
 * @brief "bump map": the surface colour and the three light settings of the bump background.
 *
 * Shown with the current settings; "ok" stores the four fields and closes, "cancel" closes,
 * "default" puts the defaults into the fields. The new values take effect the next time the
 * bump background is chosen. The fields offer the ranges the background holds its settings to.
 */
class BumpSettingsWindow : public QDialog {
    Q_OBJECT
public:
    BumpSettingsWindow(SettingsStore& store, QWidget* parent = nullptr);

    BumpBackground::Light fields() const;
    void setFields(const BumpBackground::Light& light);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void save();
    void showColor();

    SettingsStore& store_;
    QSpinBox* ambient_;
    QSpinBox* reflect_;
    QSpinBox* light_;
    QLabel* face_;
    int color_ = BumpBackground::kDefaultColor;
};

}  // namespace ombrix
