#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace ombrix {

/**
 * @brief System-wide key combinations that report their id when pressed, whichever window has
 *        the focus.
 *
 * Thread affinity: main thread (the GUI thread). Nothing throws.
 */
class GlobalHotKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// The session lets the program grab keys.
    virtual bool available() const = 0;
    /// One line for the user when available() is false.
    virtual QString unavailableReason() const = 0;
    /// Registers @p sequence ("SHIFT+CTRL+U") as @p id. False when it cannot be parsed or
    /// another program holds it.
    virtual bool registerKey(int id, const QString& sequence) = 0;
    virtual void unregisterAll() = 0;

    /// X11 key grabs where the session runs on X11; elsewhere a stand-in that is unavailable.
    static std::unique_ptr<GlobalHotKeys> create(QObject* parent = nullptr);

signals:
    void activated(int id);
};

/// Hot keys where the session cannot grab any: every registration fails, and says why.
class UnavailableHotKeys final : public GlobalHotKeys {
public:
    UnavailableHotKeys(QString reason, QObject* parent)
        : GlobalHotKeys(parent), reason_(std::move(reason)) {}
    bool available() const override { return false; }
    QString unavailableReason() const override { return reason_; }
    bool registerKey(int, const QString&) override { return false; }
    void unregisterAll() override {}

private:
    QString reason_;
};

}  // namespace ombrix
