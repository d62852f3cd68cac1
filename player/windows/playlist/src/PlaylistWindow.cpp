#include "ombrix/windows/playlist/PlaylistWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <iterator>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/common/DialogFilter.h"
#include "ombrix/windows/common/PlaylistSaveDialog.h"
#include "ombrix/windows/common/WindowPlacement.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "ombrix/windows/playlist/PlaylistView.h"
#include "ombrix/windows/playlist/UrlFetcher.h"

namespace ombrix {

namespace {
const QString kSection = QStringLiteral("fplaylist");
/// The stored widths of the columns, in column order.
const char* const kColumnWidthKeys[] = {"ListBox1.TitleWidth", "ListBox1.ArtistWidth",
                                        "ListBox1.AlbumWidth", "ListBox1.LengthWidth"};
constexpr int kDefaultColumnWidths[] = {200, 120, 110, 54};
static_assert(std::size(kColumnWidthKeys) == PlaylistTable::kColumnCount);

/// A theme icon, else the style's, else a glyph drawn in the palette's text colour.
QIcon buttonIcon(const QWidget& w, const char* theme, QStyle::StandardPixmap standard,
                 const QString& glyph) {
    QIcon icon = QIcon::fromTheme(QLatin1String(theme));
    if (!icon.isNull()) return icon;
    if (glyph.isEmpty()) return w.style()->standardIcon(standard, nullptr, &w);
    const int side = w.style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, &w);
    const qreal dpr = w.devicePixelRatioF();
    QPixmap pixmap(QSize(side, side) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = w.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, side * (glyph.size() > 2 ? 9 : 14) / 20));
    p.setFont(font);
    p.setPen(w.palette().color(QPalette::ButtonText));
    p.drawText(QRect(0, 0, side, side), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}
}  // namespace

PlaylistWindow::PlaylistWindow(PlaybackController& controller, SettingsStore& store, Hooks hooks,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      controller_(controller),
      store_(store),
      hooks_(std::move(hooks)),
      editor_(std::make_unique<PlaylistEditor>(controller, store)),
      fetcher_(std::make_unique<UrlFetcher>(store, store.home().path(QStringLiteral("file")))) {
    setObjectName(kName);
    setWindowTitle(QStringLiteral("Playlist Editor"));
    // Files added elsewhere join the list; a song that starts is selected (a pause or a stop
    // leaves the user's selection alone).
    connect(&controller_, &PlaybackController::changed, this, [this](int mask) {
        if (mask & kChangeEntriesAdded) refill();
        if (!(mask & kChangeSong)) return;
        const PlayerState st = controller_.state();
        if (st.playback == selectedPlayback_) return;
        selectedPlayback_ = st.playback;
        if (st.playing) playingEntry(st.currentIndex);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    toolbar_ = new QToolBar(this);
    layout->addWidget(toolbar_);
    view_ = new PlaylistView(this);
    view_->setObjectName(QStringLiteral("ListBox1"));
    view_->setModel(&editor_->table());
    layout->addWidget(view_, 1);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setContentsMargins(6, 3, 6, 3);
    // A long path must not widen the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(status_);
    buildToolbar();
    buildPopup();
    applyLanguage();
    readAppearance();

    connect(fetcher_.get(), &UrlFetcher::status, status_, &QLabel::setText);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { refreshStatus(); });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this] { playSelected(); });
    // A click on a column header sorts the list by that column (again: the other way round);
    // the header has turned its sort indicator already.
    connect(view_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const Qt::SortOrder order = view_->header()->sortIndicatorOrder();
        editor_->sortBy(column, order);
        showSorted(column, order);
    });
    // Any other change of order leaves the list unsorted.
    const PlaylistTable& table = editor_->table();
    auto unsorted = [this] { showSorted(-1, Qt::AscendingOrder); };
    connect(&table, &QAbstractItemModel::rowsInserted, this, unsorted);
    connect(&table, &QAbstractItemModel::rowsMoved, this, unsorted);
    connect(&table, &QAbstractItemModel::layoutChanged, this, unsorted);
    connect(view_, &PlaylistView::playRequested, this, &PlaylistWindow::playSelected);
    connect(view_, &PlaylistView::deleteRequested, this, &PlaylistWindow::removeSelected);
    connect(view_, &PlaylistView::rowsDropped, this, &PlaylistWindow::rowsDropped);
    connect(view_, &PlaylistView::pathsDropped, this, &PlaylistWindow::addPaths);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_.popup(view_->viewport()->mapToGlobal(pos)); });

    // Wide enough for every toolbar button.
    const int button = style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, this) + 14;
    resize(QSize(std::max(520, int(buttons_.size()) * button + 24), 480));
    WindowPlacement::restore(*this, store_, kName, true);
}

PlaylistWindow::~PlaylistWindow() {
    if (search_) search_->waitForFinished();
    writeAppearance();
    WindowPlacement::save(*this, store_, kName, true);
}

QAction* PlaylistWindow::addButton(const QString& name, const QString& hint, const char* theme,
                                   QStyle::StandardPixmap standard, const QString& glyph,
                                   void (PlaylistWindow::*slot)()) {
    QAction* a = toolbar_->addAction(buttonIcon(*this, theme, standard, glyph), hint);
    icons_.push_back({a, theme, standard, glyph});
    a->setObjectName(name);
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, slot);
    buttons_.append(a);
    return a;
}

void PlaylistWindow::buildToolbar() {
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setMovable(false);
    addButton("btnOpen", "open files", "document-open", QStyle::SP_DialogOpenButton, {},
              &PlaylistWindow::openFiles);
    addButton("btnSave", "save playlist", "document-save", QStyle::SP_DialogSaveButton, {},
              &PlaylistWindow::savePlaylist);
    addButton("btnDeleteAll", "delete all files", "edit-clear-all", QStyle::SP_TrashIcon, {},
              &PlaylistWindow::deleteAll);
    addButton("btnCut", "remove selected file", "list-remove", QStyle::SP_DialogDiscardButton,
              QStringLiteral("−"), &PlaylistWindow::removeSelected);
    addButton("btnUp", "move selected file upward", "go-up", QStyle::SP_ArrowUp, {},
              &PlaylistWindow::moveUp);
    addButton("btnDown", "move selected file downward", "go-down", QStyle::SP_ArrowDown, {},
              &PlaylistWindow::moveDown);
    addButton("btnShuffle", "shuffle", "media-playlist-shuffle", QStyle::SP_BrowserReload,
              QStringLiteral("⤮"), &PlaylistWindow::shuffle);
    addButton("btnsort", "sort alphabetically", "view-sort-ascending", QStyle::SP_ArrowDown,
              QStringLiteral("A–Z"), &PlaylistWindow::sort);
    addButton("btnPlay", "play selected file", "media-playback-start", QStyle::SP_MediaPlay,
              QStringLiteral("▶"), &PlaylistWindow::playSelected);
    QAction* cd = addButton("btnReadCd", "read cd tracks", "media-optical", QStyle::SP_DriveCDIcon,
                            {}, &PlaylistWindow::readCd);
    cd->setEnabled(false);  // until a drive is known (see showEvent)
    addButton("btnEditTag", "edit tag", "document-edit", QStyle::SP_FileDialogDetailedView,
              QStringLiteral("✎"), &PlaylistWindow::editTag);
    addButton("btnAddURL", "add URL", "insert-link", QStyle::SP_DriveNetIcon, QStringLiteral("URL"),
              &PlaylistWindow::addUrl);
    addButton("btnTrash", "discard changes you made", "edit-undo", QStyle::SP_DialogCancelButton,
              QStringLiteral("↶"), &PlaylistWindow::discardChanges);
}

void PlaylistWindow::buildPopup() {
    popup_.setObjectName(QStringLiteral("PopupMenu1"));
    QAction* tag = popup_.addAction(QStringLiteral("Edit Tag"), this, &PlaylistWindow::editTag);
    tag->setObjectName(QStringLiteral("EditTag1"));
    QAction* cdInfo = popup_.addAction(QStringLiteral("Edit CD info"));
    cdInfo->setObjectName(QStringLiteral("EditCDinfo1"));
    cdInfo->setVisible(false);
    popup_.addSeparator();
    popup_.addAction(QStringLiteral("&Play"), this, &PlaylistWindow::playSelected)
        ->setObjectName(QStringLiteral("Play1"));
    popup_.addAction(QStringLiteral("&Remove"), this, &PlaylistWindow::removeSelected)
        ->setObjectName(QStringLiteral("Remove1"));
    popup_.addAction(QStringLiteral("&Shuffle"), this, &PlaylistWindow::shuffle)
        ->setObjectName(QStringLiteral("Shuffle1"));
    popup_.addAction(QStringLiteral("&Clear"), this, &PlaylistWindow::deleteAll)
        ->setObjectName(QStringLiteral("Clear1"));
}

void PlaylistWindow::applyLanguage() {
    if (store_.settings().language != 1) return;
    const IniDocument ini =
        IniDocument::load(store_.home().path(QStringLiteral("resource/japanese.ini")));
    // The language file lists the hints in this order.
    static const char* const order[] = {
        "btnOpen", "btnSave",   "btnDeleteAll", "btnCut",   "btnUp",     "btnDown", "btnShuffle",
        "btnPlay", "btnReadCd", "btnEditTag",   "btnTrash", "btnAddURL", "btnsort"};
    for (int i = 0; i < 13; ++i) {
        const auto text = ini.value(QStringLiteral("fplaylist.buttontips"), QString::number(i));
        if (QAction* a = button(QLatin1String(order[i])); a && text && !text->isEmpty())
            a->setToolTip(*text);
    }
}

QColor PlaylistWindow::colorFromRef(qint64 ref) {
    // Stored the Windows way: 0x00BBGGRR.
    return QColor(int(ref & 0xff), int((ref >> 8) & 0xff), int((ref >> 16) & 0xff));
}

void PlaylistWindow::readAppearance() {
    const IniDocument ini = store_.readMain();
    colorRef_ = ini.readInteger(kSection, QStringLiteral("ListBox1.Color"), kDefaultColor);
    font_ =
        ini.readFont(kSection, QStringLiteral("listbox1.font"), FontSetting{QString(), 0, 9, 0});
    if (!font_.name.isEmpty()) {
        QFont font(font_.name);
        font.setPointSize(std::clamp(font_.size, 4, 72));
        font.setBold(font_.style & 1);
        font.setItalic(font_.style & 2);
        view_->setFont(font);
    }
    // The default colour leaves the list in the windows' palette (the panel's or the
    // desktop's); a colour of the user's own is kept, with the font's colour or one that
    // reads on it.
    if (colorRef_ != kDefaultColor) {
        QPalette palette = view_->palette();
        const QColor base = colorFromRef(colorRef_);
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::AlternateBase, base);
        palette.setColor(QPalette::Text, !font_.name.isEmpty()
                                             ? colorFromRef(font_.color)
                                             : (base.lightness() < 128 ? QColor(230, 240, 230)
                                                                       : QColor(20, 20, 20)));
        view_->setPalette(palette);
    } else {
        view_->setPalette(QPalette());  // back to the windows' palette
    }
    for (int c = 0; c < PlaylistTable::kColumnCount; ++c) {
        const qint64 width =
            ini.readInteger(kSection, QLatin1String(kColumnWidthKeys[c]), kDefaultColumnWidths[c]);
        view_->setColumnWidth(c, int(std::clamp<qint64>(width, 16, 2000)));
    }
}

void PlaylistWindow::showSorted(int column, Qt::SortOrder order) {
    if (view_->header()->sortIndicatorSection() == column &&
        (column < 0 || view_->header()->sortIndicatorOrder() == order))
        return;
    view_->header()->setSortIndicator(column, order);
}

void PlaylistWindow::writeAppearance() {
    try {
        store_.updateMain([this](IniDocument& ini) {
            ini.writeInteger(kSection, QStringLiteral("ListBox1.Color"), colorRef_);
            if (!font_.name.isEmpty())
                ini.writeFont(kSection, QStringLiteral("listbox1.font"), font_);
            for (int c = 0; c < PlaylistTable::kColumnCount; ++c)
                ini.writeInteger(kSection, QLatin1String(kColumnWidthKeys[c]),
                                 view_->columnWidth(c));
        });
    } catch (const FileError& e) {
        qWarning("cannot store the playlist window's colours: %s", e.what());
    }
}

QAction* PlaylistWindow::button(const QString& name) const {
    for (QAction* a : buttons_)
        if (a->objectName() == name) return a;
    return nullptr;
}

QString PlaylistWindow::statusLine() const {
    return status_->text();
}

int PlaylistWindow::selectedRow() const {
    const std::vector<int> rows = view_->selectedRows();
    if (rows.empty()) return -1;
    const int current = view_->currentRow();
    return std::find(rows.begin(), rows.end(), current) != rows.end() ? current : rows.front();
}

void PlaylistWindow::refreshStatus() {
    status_->setText(editor_->statusText(selectedRow()));
}

// ---------------------------------------------------------------------------------------------
// Show, close and the main window's news

void PlaylistWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Drawn glyphs take the text colour of the palette they were drawn in: a new panel's
    // palette (or style) draws them again.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        for (const ButtonIcon& i : icons_)
            i.action->setIcon(buttonIcon(*this, i.theme, i.standard, i.glyph));
}

void PlaylistWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    if (QAction* cd = button(QStringLiteral("btnReadCd")))
        cd->setEnabled(hooks_.readCd && hooks_.hasCdDrive && hooks_.hasCdDrive());
    const int row = editor_->show();
    view_->selectRow(row);
    refreshStatus();
}

void PlaylistWindow::closeEvent(QCloseEvent* event) {
    editor_->close(selectedRow());
    QWidget::closeEvent(event);
}

void PlaylistWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        discardChanges();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PlaylistWindow::playingEntry(int index) {
    if (!isVisible()) return;
    const int row = editor_->rowForPlaying(index);
    if (row >= 0) view_->selectRow(row);
    refreshStatus();
}

void PlaylistWindow::refill() {
    if (!isVisible()) return;
    const int row = editor_->refill();
    view_->selectRow(row);
    refreshStatus();
}

// ---------------------------------------------------------------------------------------------
// Commands

void PlaylistWindow::openFiles() {
    const int before = selectedRow();
    const auto filter = store_.mediaTypes().openDialogFilter();
    const QString qtFilter = filter ? dialogFilter(*filter) : QString();
    const QStringList files =
        QFileDialog::getOpenFileNames(this, QStringLiteral("Open files"), QString(), qtFilter);
    if (files.isEmpty()) return;
    editor_->addItems(files);
    view_->selectRow(before >= 0 ? before : 0);
    refreshStatus();
}

void PlaylistWindow::savePlaylist() {
    const QString file = PlaylistSaveDialog::ask(this);
    if (file.isEmpty()) return;
    try {
        editor_->save(file);
    } catch (const FileError& e) {
        if (hooks_.tell) hooks_.tell(QString::fromLocal8Bit(e.what()));
    }
}

void PlaylistWindow::deleteAll() {
    editor_->clear();
    refreshStatus();
}

void PlaylistWindow::removeSelected() {
    const int row = editor_->remove(view_->selectedRows(), view_->currentRow());
    view_->selectRow(row);
    refreshStatus();
}

void PlaylistWindow::moveUp() {
    view_->selectRow(editor_->up(selectedRow()));
}

void PlaylistWindow::moveDown() {
    view_->selectRow(editor_->down(selectedRow()));
}

void PlaylistWindow::shuffle() {
    editor_->shuffle();
    showSorted(-1, Qt::AscendingOrder);
    view_->selectRow(editor_->list().count() > 0 ? 0 : -1);
    refreshStatus();
}

void PlaylistWindow::sort() {
    editor_->sort();
    showSorted(PlaylistTable::kTitle, Qt::AscendingOrder);
    view_->selectRow(editor_->list().count() > 0 ? 0 : -1);
    refreshStatus();
}

void PlaylistWindow::playSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    editor_->play(row);
    refreshStatus();
}

void PlaylistWindow::readCd() {
    // The tracks replace the main playlist; the list here follows once they are known.
    if (hooks_.readCd) hooks_.readCd();
}

void PlaylistWindow::editTag() {
    const int row = selectedRow();
    if (row < 0) return;
    const QString file = editor_->tagTarget(row);
    if (file.isEmpty()) {
        if (hooks_.tell) hooks_.tell(QStringLiteral("Select mp3 file to tag it."));
        return;
    }
    if (hooks_.editTag) hooks_.editTag(file);
}

void PlaylistWindow::addUrl() {
    bool ok = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("open URL"), QString(),
                                               QLineEdit::Normal, QStringLiteral("http://"), &ok);
    if (!ok || !editor_->addUrl(text)) return;
    view_->selectRow(int(editor_->list().count()) - 1);
    // Fetched now, in the background, so that playing it later does not wait for it.
    fetcher_->fetch(text);
}

void PlaylistWindow::discardChanges() {
    editor_->setDiscard();
    close();
}

void PlaylistWindow::rowsDropped(const std::vector<int>& rows, int target) {
    const qsizetype first = editor_->list().moveRows(rows, target);
    if (first < 0) return;
    QItemSelection selection(editor_->list().index(int(first)),
                             editor_->list().index(int(first) + int(rows.size()) - 1));
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    view_->selectionModel()->setCurrentIndex(editor_->list().index(int(first)),
                                             QItemSelectionModel::NoUpdate);
    refreshStatus();
}

void PlaylistWindow::addPaths(const QStringList& paths) {
    QStringList folders, others;
    for (const QString& p : paths) (QFileInfo(p).isDir() ? folders : others) << p;
    editor_->addItems(others);
    if (folders.isEmpty() || searching_) return;
    // Folders can hold many thousands of files: they are searched off the main thread and
    // the count found so far is shown.
    searching_ = true;
    status_->setText(QStringLiteral("searching ") + QFileInfo(folders.first()).fileName() +
                     QStringLiteral("..."));
    const MediaIdentifier media(store_.mediaTypes().flat);
    search_ = std::make_unique<QFutureWatcher<DropResult>>();
    connect(search_.get(), &QFutureWatcher<DropResult>::progressValueChanged, this,
            [this](int seen) {
                status_->setText(QStringLiteral("searching... %1 files examined").arg(seen));
            });
    connect(search_.get(), &QFutureWatcher<DropResult>::finished, this, [this] {
        const DropResult result = search_->result();
        searching_ = false;
        const int added = editor_->addItems(result.files);
        status_->setText(QStringLiteral("%1 files added").arg(added));
    });
    search_->setFuture(QtConcurrent::run([folders, media](QPromise<DropResult>& promise) {
        promise.setProgressRange(0, INT_MAX);
        promise.addResult(DropCollector::collect(folders, media, [&promise](int seen) {
            promise.setProgressValue(seen);
            return !promise.isCanceled();
        }));
    }));
}

}  // namespace ombrix
