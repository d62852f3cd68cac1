#pragma once

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "ombrix/windows/config/ConfigModel.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QCheckBox;

namespace ombrix {

class SettingsStore;

/**
 * @brief The configuration window (caption "Config"): a page list on the left, the chosen
 *        page on the right, "ok" and "cancel" below. Every control shows the ConfigModel's
 *        draft and edits it; "ok" applies it and closes, "cancel" closes.
 *
 * Its place and the "chks3" option are read when it is created and written when it goes.
 * Thread affinity: main thread.
 */
class ConfigWindow final : public QDialog {
    Q_OBJECT
public:
    static inline const QString kWindowName = QStringLiteral("fconfig");

    /// The plug-ins the application hosts; the page is disabled while these are empty.
    struct PluginHooks {
        /// "bg/default", "bg/bump", then "bg/x.so", "full/y.so", "amp/z.so"
        std::function<QStringList()> entries;
        std::function<QString(const QString& entry)> description;
        std::function<void(const QString& entry, QWidget* parent)> properties;
    };
    struct Hooks {
        ConfigModel::Hooks model;
        PluginHooks plugins;
        /// Installs a panel archive into the panel (or coolbar) folder and rebuilds the panel
        /// menus; without it the archive is only extracted.
        std::function<void(const QString& zip, bool coolbar)> installPanel;
        /// Why the session cannot grab keys; empty when it can.
        std::function<QString()> hotKeysUnavailable;
    };

    ConfigWindow(SettingsStore& store, FileAssociations associations, Hooks hooks,
                 QWidget* parent = nullptr);
    ~ConfigWindow() override;

    ConfigModel& model() noexcept { return model_; }
    /// Shows page @p index of ConfigControl::pages().
    void showPage(int index);
    /// Messages of the last "ok" (also shown in a box, except on the offscreen platform).
    const QStringList& lastProblems() const noexcept { return problems_; }

private:
    QWidget* buildPage(const QString& page);
    QWidget* controlWidget(const ConfigControl& control);
    void fillComboItems(QComboBox* box, const ConfigControl& control);
    void fill();
    void addSoundcardExtras(QWidget* page);
    void addConsoleExtras(QWidget* page);
    void addNetworkExtras(QWidget* page);
    void addKeyboardExtras(QWidget* page);
    QWidget* buildPluginPage();
    QWidget* buildFileTypePage();
    QWidget* buildPanelPage();
    QWidget* buildPlaylistPage();
    QPushButton* fontButton(const QString& object, FontSetting* font);
    void showFont(QPushButton* button, const FontSetting& font);
    void showType(int index);
    void showPanels();
    void refreshPreview();
    void refreshTelnetWarning();
    void ok();

    SettingsStore& store_;
    Hooks hooks_;
    ConfigModel model_;
    QListWidget* pageList_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QHash<QString, QWidget*> controls_;
    QLabel* preview_ = nullptr;
    QImage background_;
    QLabel* telnetWarning_ = nullptr;
    QListWidget* typeList_ = nullptr;
    QLabel* typeIcon_ = nullptr;
    int type_ = -1;
    QListWidget* panelList_ = nullptr;
    QLabel* panelPreview_ = nullptr;
    QCheckBox* skipSafe_ = nullptr;
    QStringList problems_;
    bool filling_ = false;
};

}  // namespace ombrix
