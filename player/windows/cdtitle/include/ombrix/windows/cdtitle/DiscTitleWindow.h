#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "ombrix/windows/cdtitle/DiscTitleEditor.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace ombrix {

class DiscDatabase;
class DiscFetch;
class DiscRecord;
class SettingsStore;

/**
 * @brief The CD title editor "CD Informaion": the disc's ID, title and category, its tracks
 *        with their lengths, and the title, extended text ("Track Info") and play position of
 *        the selected track; "save" writes the record into the local database.
 *
 * A thin shell over DiscTitleEditor. The arrow keys in the title and track-info fields move to
 * the track above or below. The File menu's "Connect to CDDB server" fills the record from the
 * server of the settings. The window's place is kept in the settings ("feditcd" in section
 * "form"). @p record, @p database and @p store must outlive the window.
 * Thread affinity: main thread.
 */
class DiscTitleWindow : public QDialog {
    Q_OBJECT
public:
    using Tell = std::function<void(const QString& message)>;

    static inline const QString kCaption = QStringLiteral("CD Informaion");
    static inline const QString kPlacementName = QStringLiteral("feditcd");

    DiscTitleWindow(DiscRecord& record, const DiscDatabase& database, SettingsStore& store,
                    QWidget* parent = nullptr);
    ~DiscTitleWindow() override;

    /// The menu command: creates the window in @p slot on first use and shows it, filled
    /// from the record, without blocking the program.
    static DiscTitleWindow& open(std::unique_ptr<DiscTitleWindow>& slot, DiscRecord& record,
                                 const DiscDatabase& database, SettingsStore& store,
                                 QWidget* parent);
    /// The editing offered while local records are submitted: modal, without "Connect to
    /// CDDB server", the category list disabled for Japanese titles ("cddbjapanese").
    static void editModally(DiscRecord& record, const DiscDatabase& database, SettingsStore& store,
                            QWidget* parent);

    /// Fills every field from the record again (the record changed).
    void showRecord();
    /// Shows or hides "Connect to CDDB server" (hidden while submitting).
    void setConnectVisible(bool visible);
    /// Enables or disables the category list.
    void setCategoriesEnabled(bool enabled);
    /// Replaces the message box (used for "Entry for ... was not found.").
    void setTell(Tell tell) { tell_ = std::move(tell); }
    /// Runs "Connect to CDDB server".
    void connectToServer();
    /// The server's port ("8880"; another one only for a local test server).
    void setServerPort(const QString& port) { port_ = port; }
    bool connecting() const;

    const DiscTitleEditor& editor() const noexcept { return editor_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void showTrack();
    void edited();
    void fetched(int outcome);

    DiscRecord& record_;
    const DiscDatabase& database_;
    SettingsStore& store_;
    DiscTitleEditor editor_;
    Tell tell_;
    std::unique_ptr<DiscFetch> fetch_;
    QString caption_;
    QString port_ = QStringLiteral("8880");
    bool filling_ = false;  // the fields are being filled from the record, not typed

    QAction* connect_ = nullptr;
    QLabel* id_ = nullptr;
    QLabel* musicBrainz_ = nullptr;
    QLineEdit* discTitle_ = nullptr;
    QComboBox* category_ = nullptr;
    QListWidget* tracks_ = nullptr;
    QLineEdit* title_ = nullptr;
    QLineEdit* info_ = nullptr;
    QSpinBox* order_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace ombrix
