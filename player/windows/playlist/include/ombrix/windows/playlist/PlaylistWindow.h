#pragma once

#include <QAction>
#include <QColor>
#include <QFont>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QStringList>
#include <QStyle>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ombrix/control/DropCollector.h"
#include "ombrix/settings/IniDocument.h"

class QToolBar;

namespace ombrix {

class PlaybackController;
class PlaylistEditor;
class PlaylistView;
class SettingsStore;
class UrlFetcher;

/**
 * @brief The "Playlist Editor" window: a toolbar, the list and a status line over a
 *        PlaylistEditor. Showing it copies the main playlist in; closing it hands the edited
 *        list back unless the changes were discarded (Esc, the trash button).
 *
 * Thread affinity: main thread. Folders dropped on it are searched on a worker thread.
 */
class PlaylistWindow final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("fplaylist");

    struct Hooks {
        std::function<void(const QString& file)> editTag;  ///< opens the tag editor
        std::function<void(const QString& text)> tell;     ///< a message box for the user
        std::function<void()> readCd;                       ///< reads the disc in the drive
        std::function<bool()> hasCdDrive;                   ///< a drive is chosen
    };

    PlaylistWindow(PlaybackController& controller, SettingsStore& store, Hooks hooks,
                   QWidget* parent = nullptr);
    ~PlaylistWindow() override;

    PlaylistEditor& editor() noexcept { return *editor_; }
    PlaylistView& view() noexcept { return *view_; }
    QString statusLine() const;
    /// The toolbar button @p name ("btnOpen" ... "btnTrash").
    QAction* button(const QString& name) const;
    QMenu& contextMenu() noexcept { return popup_; }

    /// The main window started playing main-playlist entry @p index.
    void playingEntry(int index);
    /// The main window added files: they appear in the list (see PlaylistEditor::refill()).
    void refill();
    /// Adds dropped paths (folders are searched off the main thread).
    void addPaths(const QStringList& paths);
    /// The background download of added web addresses.
    UrlFetcher& fetcher() noexcept { return *fetcher_; }
    /// True while a dropped folder is being searched.
    bool searching() const noexcept { return searching_; }

    /// Colour and font from section "fplaylist" (COLORREF integer and font group).
    static QColor colorFromRef(qint64 ref);
    /// Takes the colour and font of section "fplaylist" again (the configuration changed them).
    void reloadAppearance() { readAppearance(); }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// A toolbar button with the theme's icon @p theme, else the style's @p standard one, or
    /// @p glyph drawn in the palette's text colour when given.
    QAction* addButton(const QString& name, const QString& hint, const char* theme,
                       QStyle::StandardPixmap standard, const QString& glyph,
                       void (PlaylistWindow::*slot)());
    void buildToolbar();
    void buildPopup();
    void readAppearance();
    void writeAppearance();
    void applyLanguage();
    void refreshStatus();
    /// The header shows the list sorted by @p column in @p order (-1: not sorted).
    void showSorted(int column, Qt::SortOrder order);
    int selectedRow() const;

    void openFiles();
    void savePlaylist();
    void deleteAll();
    void removeSelected();
    void moveUp();
    void moveDown();
    void shuffle();
    void sort();
    void playSelected();
    void readCd();
    void editTag();
    void addUrl();
    void discardChanges();
    void rowsDropped(const std::vector<int>& rows, int target);

    PlaybackController& controller_;
    SettingsStore& store_;
    Hooks hooks_;
    std::unique_ptr<PlaylistEditor> editor_;
    std::unique_ptr<UrlFetcher> fetcher_;
    QToolBar* toolbar_ = nullptr;
    PlaylistView* view_ = nullptr;
    QLabel* status_ = nullptr;
    QMenu popup_;
    QList<QAction*> buttons_;
    struct ButtonIcon {
        QAction* action;
        const char* theme;
        QStyle::StandardPixmap standard;
        QString glyph;
    };
    std::vector<ButtonIcon> icons_;
    qint64 colorRef_ = kDefaultColor;
    FontSetting font_;
    bool searching_ = false;
    quint64 selectedPlayback_ = 0;  // the playback whose entry was last selected
    std::unique_ptr<QFutureWatcher<DropResult>> search_;

    static constexpr qint64 kDefaultColor = 4202496;
};

}  // namespace ombrix
