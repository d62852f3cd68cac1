#pragma once

#include <QDialog>

namespace ombrix {

/**
 * @brief The about box: the program's name, version, licence and home page, and the credits.
 *
 * Thread affinity: main thread.
 */
class AboutBox final : public QDialog {
public:
    AboutBox(const QString& credits, QWidget* parent = nullptr);
};

}  // namespace ombrix
