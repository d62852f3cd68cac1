#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "ombrix/windows/tag/TagEditor.h"

class QAction;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QProgressDialog;
class QPushButton;
class QTreeView;

namespace ombrix {

class PlaybackController;
class SettingsStore;

/**
 * @brief The tag editor window "Ombrix Tagger": a folder tree and the folder's audio files on
 *        the left, the tag fields of one file on the right, and a unify that copies one field
 *        into every file of the list.
 *
 * A thin shell over TagEditor. Created once and kept; shown without blocking the program. Its
 * place is kept in the settings ("ftag" in section "form") whenever it is hidden, and when it
 * is destroyed while shown: @p store and @p controller must outlive the window.
 * Thread affinity: main thread.
 */
class TagWindow : public QMainWindow {
    Q_OBJECT
public:
    /// Asks a yes/no question; true for yes.
    using Ask = std::function<bool(const QString& question)>;
    /// Shows a message (a failure the user should know about).
    using Tell = std::function<void(const QString& message)>;

    static inline const QString kCaption = QStringLiteral("Ombrix Tagger");
    static inline const QString kPlacementName = QStringLiteral("ftag");

    TagWindow(SettingsStore& store, PlaybackController& controller, QWidget* parent = nullptr);
    ~TagWindow() override;

    /// Shows the window with the tag of @p file, the folder tree moved to the file's folder.
    void openFor(const QString& file);

    /// Loads @p file into the fields; @p moveTree also shows its folder in the tree and list.
    void load(const QString& file, bool moveTree);
    /// Saves the fields when modified; a failure is told and returns false.
    bool save();
    /// Asks, then copies @p field into every file of the list without blocking the window.
    void unify(TagEditor::Field field);
    bool unifyRunning() const noexcept { return static_cast<bool>(run_); }

    /// Replaces the question and message boxes (message boxes by default).
    void setDialogs(Ask ask, Tell tell);
    /// The folder the file list shows.
    QString listFolder() const;
    /// The files of the list, in list order.
    QStringList listedFiles() const;
    const TagEditor& editor() const noexcept { return editor_; }

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct UnifyRun;

    void buildControls();
    void buildMenus();
    void showFolder(const QString& folder);
    /// Expands the tree down to the target folder and scrolls it into view.
    void revealTreeTarget();
    void fileChosen();
    void showFields();
    void takeFields();
    void markModified();
    void unifyStep();
    void unifyFinished();
    void ok();

    SettingsStore& store_;
    TagEditor editor_;
    Ask ask_;
    Tell tell_;
    QFileSystemModel* folders_ = nullptr;
    QString treeTarget_;  // the folder the tree is to show once it has been read
    bool revealing_ = false;  // the tree moves to treeTarget_, not the user
    QFileSystemModel* files_ = nullptr;
    QTreeView* tree_ = nullptr;
    QWidget* fields_ = nullptr;
    QListView* list_ = nullptr;
    QLineEdit* title_ = nullptr;
    QLineEdit* album_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QLineEdit* artist_ = nullptr;
    QLineEdit* year_ = nullptr;
    QComboBox* genre_ = nullptr;
    QLineEdit* copyright_ = nullptr;
    QLineEdit* source_ = nullptr;
    QLabel* info_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QAction* autoSave_ = nullptr;
    bool showing_ = false;  // the fields are being filled from the editor, not typed
    std::unique_ptr<UnifyRun> run_;
};

}  // namespace ombrix
