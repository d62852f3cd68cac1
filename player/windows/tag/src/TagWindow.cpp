#include "ombrix/windows/tag/TagWindow.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "ombrix/library/GenreTable.h"
#include "ombrix/windows/common/WindowPlacement.h"

namespace ombrix {

namespace {
// Longest text a RIFF field takes: what one INFO sub-chunk holds with its zero byte.
constexpr int kRiffTextLength = SongTag::kMaxRiffWrite - 1;
// Failures listed in one message after a unify; the rest are counted.
constexpr int kListedFailures = 10;
}  // namespace

struct TagWindow::UnifyRun {
    TagEditor::Field field;
    QString value;
    QStringList files;
    int next = 0;
    TagEditor::UnifyResult result;
    std::unique_ptr<QProgressDialog> progress;
};

TagWindow::TagWindow(SettingsStore& store, PlaybackController& controller, QWidget* parent)
    : QMainWindow(parent, Qt::Window), store_(store), editor_(controller) {
    setObjectName(QStringLiteral("ftag"));
    setWindowTitle(kCaption);
    ask_ = [this](const QString& question) {
        return QMessageBox::question(this, kCaption, question) == QMessageBox::Yes;
    };
    tell_ = [this](const QString& message) { QMessageBox::warning(this, kCaption, message); };
    buildControls();
    buildMenus();
    showFields();
    // A first size in text units, so the window scales with the desktop's font.
    const QFontMetrics fm = fontMetrics();
    resize(QSize(fm.averageCharWidth() * 110, fm.lineSpacing() * 26).expandedTo(sizeHint()));
    WindowPlacement::restore(*this, store_, kPlacementName, true);
}

TagWindow::~TagWindow() {
    if (isVisible()) WindowPlacement::save(*this, store_, kPlacementName, true);
}

void TagWindow::buildControls() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* browse = new QSplitter(Qt::Vertical, splitter);

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setRootPath(QDir::rootPath());
    tree_ = new QTreeView(browse);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setModel(folders_);
    tree_->setRootIndex(folders_->index(QDir::rootPath()));
    tree_->setHeaderHidden(true);
    for (int column = 1; column < folders_->columnCount(); ++column) tree_->hideColumn(column);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // A folder the user chose ends the reveal of the opened file's folder: the
                // tree must not jump back there when folders are read again (after a save).
                if (!revealing_) treeTarget_.clear();
                showFolder(folders_->filePath(current));
            });

    // The tree reads folders in the background: the folder to show is revealed again as the
    // folders on its way are read.
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (!treeTarget_.isEmpty() && treeTarget_.startsWith(loaded)) revealTreeTarget();
    });
    files_ = new QFileSystemModel(this);
    files_->setFilter(QDir::Files | QDir::NoDotAndDotDot);
    // Without QDir::CaseSensitive in the filter the patterns match in any letter case.
    files_->setNameFilters(TagEditor::namePatterns());
    files_->setNameFilterDisables(false);
    list_ = new QListView(browse);
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setModel(files_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->installEventFilter(this);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QListView::clicked, this, [this] { fileChosen(); });
    browse->addWidget(tree_);
    browse->addWidget(list_);

    auto* panel = new QWidget(splitter);
    fields_ = panel;
    panel->setObjectName(QStringLiteral("fields"));
    panel->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* form = new QFormLayout;
    auto edit = [&](const char* name, const QString& label) {
        auto* line = new QLineEdit(panel);
        line->setObjectName(QLatin1String(name));
        connect(line, &QLineEdit::textEdited, this, &TagWindow::markModified);
        form->addRow(label, line);
        return line;
    };
    title_ = edit("title", tr("Title"));
    album_ = edit("album", tr("Album"));
    comment_ = edit("comment", tr("Comment"));
    artist_ = edit("artist", tr("Artist"));
    year_ = edit("year", tr("Year"));
    genre_ = new QComboBox(panel);
    genre_->setObjectName(QStringLiteral("genre"));
    // Every entry, the empty ones too, so that a position is a genre index.
    for (int i = 0; i < GenreTable::kSize; ++i) genre_->addItem(GenreTable::name(i));
    genre_->setInsertPolicy(QComboBox::NoInsert);
    genre_->setMaxVisibleItems(20);
    connect(genre_, &QComboBox::currentIndexChanged, this, &TagWindow::markModified);
    connect(genre_, &QComboBox::editTextChanged, this, &TagWindow::markModified);
    form->addRow(tr("Genre"), genre_);
    copyright_ = edit("copyright", tr("Copyright"));
    source_ = edit("source", tr("Source"));

    info_ = new QLabel(panel);
    info_->setObjectName(QStringLiteral("info"));
    ok_ = new QPushButton(tr("ok"), panel);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("cancel"), panel);
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(ok_, &QPushButton::clicked, this, &TagWindow::ok);
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(info_, 1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* column = new QVBoxLayout(panel);
    column->addLayout(form);
    column->addStretch(1);
    column->addLayout(buttons);

    splitter->addWidget(browse);
    splitter->addWidget(panel);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    auto* unifyMenu = new QMenu(tr("&Unify"), this);
    unifyMenu->setObjectName(QStringLiteral("unifyMenu"));
    const std::pair<QString, TagEditor::Field> items[] = {
        {tr("&Title"), TagEditor::Field::Title},     {tr("&Artist"), TagEditor::Field::Artist},
        {tr("&Comment"), TagEditor::Field::Comment}, {tr("&Album"), TagEditor::Field::Album},
        {tr("&Year"), TagEditor::Field::Year},
    };
    for (const auto& [text, field] : items)
        connect(unifyMenu->addAction(text), &QAction::triggered, this,
                [this, field = field] { unify(field); });
    auto* popup = new QMenu(this);
    popup->addMenu(unifyMenu);
    auto showPopup = [this, popup](QWidget* from, const QPoint& at) {
        if (!run_) popup->popup(from->mapToGlobal(at));
    };
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this, showPopup](const QPoint& at) { showPopup(list_->viewport(), at); });
    connect(panel, &QWidget::customContextMenuRequested, this,
            [panel, showPopup](const QPoint& at) { showPopup(panel, at); });
}

void TagWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* saveAction = file->addAction(tr("&Save"));
    saveAction->setObjectName(QStringLiteral("save"));
    saveAction->setShortcut(QKeySequence::Save);
    connect(saveAction, &QAction::triggered, this, [this] { save(); });
    autoSave_ = file->addAction(tr("Automatically Save"));
    autoSave_->setObjectName(QStringLiteral("autoSave"));
    autoSave_->setCheckable(true);
    file->addSeparator();
    QAction* exit = file->addAction(tr("&Exit"));
    exit->setObjectName(QStringLiteral("exit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void TagWindow::setDialogs(Ask ask, Tell tell) {
    ask_ = std::move(ask);
    tell_ = std::move(tell);
}

void TagWindow::openFor(const QString& file) {
    show();
    raise();
    activateWindow();
    load(file, true);
}

void TagWindow::revealTreeTarget() {
    const QModelIndex index = folders_->index(treeTarget_);
    if (treeTarget_.isEmpty() || !index.isValid()) return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
    revealing_ = true;
    tree_->setCurrentIndex(index);
    revealing_ = false;
    tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TagWindow::load(const QString& file, bool moveTree) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    if (moveTree) {
        const QString folder = QFileInfo(absolute).absolutePath();
        treeTarget_ = folder;
        revealTreeTarget();
        showFolder(folder);
        const QModelIndex item = files_->index(absolute);
        if (item.isValid()) list_->setCurrentIndex(item);
    }
    const bool read = editor_.load(absolute);
    showFields();
    if (!read) tell_(editor_.error());
}

void TagWindow::showFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir() || folder == listFolder()) return;
    files_->setRootPath(folder);
    list_->setRootIndex(files_->index(folder));
}

QString TagWindow::listFolder() const {
    return list_->rootIndex().isValid() ? files_->filePath(list_->rootIndex()) : QString();
}

QStringList TagWindow::listedFiles() const {
    QStringList out;
    const QModelIndex root = list_->rootIndex();
    if (!root.isValid()) return out;
    for (int row = 0; row < files_->rowCount(root); ++row)
        out << files_->filePath(files_->index(row, 0, root));
    return out;
}

void TagWindow::fileChosen() {
    if (run_) return;
    if (autoSave_->isChecked() && !save()) return;
    QModelIndexList selected = list_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    load(QDir(listFolder()).filePath(files_->fileName(selected.first())), false);
}

bool TagWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyRelease &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat())
        fileChosen();
    return QMainWindow::eventFilter(watched, event);
}

void TagWindow::showFields() {
    showing_ = true;
    const TagEditor::Fields& f = editor_.fields();
    const bool riff = editor_.riffMode();
    const std::pair<QLineEdit*, TagEditor::Field> limited[] = {
        {title_, TagEditor::Field::Title},     {artist_, TagEditor::Field::Artist},
        {comment_, TagEditor::Field::Comment}, {album_, TagEditor::Field::Album},
        {year_, TagEditor::Field::Year},
    };
    for (const auto& [line, field] : limited) {
        const int max = editor_.maxLength(field);
        line->setMaxLength(max > 0 ? max : kRiffTextLength);
    }
    title_->setText(f.title);
    artist_->setText(f.artist);
    comment_->setText(f.comment);
    album_->setText(f.album);
    year_->setText(f.year);
    copyright_->setText(f.copyright);
    source_->setText(f.source);
    copyright_->setEnabled(riff);
    source_->setEnabled(riff);
    genre_->setEditable(riff);
    if (riff) {
        genre_->setCurrentText(f.genreName);
    } else {
        genre_->setCurrentIndex(f.genreIndex);
    }
    info_->setText(editor_.infoText());
    // Fields that were not read from a file cannot be typed into (nor saved).
    fields_->setEnabled(editor_.loaded());
    setWindowTitle(editor_.currentFile().isEmpty() ? kCaption
                                                   : QFileInfo(editor_.currentFile()).fileName());
    showing_ = false;
}

void TagWindow::takeFields() {
    TagEditor::Fields f = editor_.fields();
    f.title = title_->text();
    f.artist = artist_->text();
    f.comment = comment_->text();
    f.album = album_->text();
    f.year = year_->text();
    f.copyright = copyright_->text();
    f.source = source_->text();
    if (editor_.riffMode())
        f.genreName = genre_->currentText();
    else
        f.genreIndex = std::max(0, genre_->currentIndex());
    editor_.setFields(f);
}

void TagWindow::markModified() {
    if (!showing_) editor_.setModified(true);
}

bool TagWindow::save() {
    if (run_) return false;
    takeFields();
    if (editor_.save() == TagEditor::SaveResult::Failed) {
        tell_(editor_.error());
        return false;
    }
    info_->setText(editor_.infoText());
    return true;
}

void TagWindow::ok() {
    // A failed save keeps the window open with the typing, so nothing is lost unnoticed.
    if (save()) close();
}

void TagWindow::unify(TagEditor::Field field) {
    if (run_) return;
    takeFields();
    const QString value = editor_.field(field);
    const QStringList files = listedFiles();
    if (files.isEmpty()) return;
    if (!ask_(TagEditor::unifyQuestion(field, static_cast<int>(files.size()), value))) return;
    run_ = std::make_unique<UnifyRun>();
    run_->field = field;
    run_->value = value;
    run_->files = files;
    run_->progress = std::make_unique<QProgressDialog>(
        tr("Unifying the %1 of %2 files...").arg(TagEditor::fieldName(field)).arg(files.size()),
        tr("Cancel"), 0, static_cast<int>(files.size()), this);
    run_->progress->setWindowModality(Qt::WindowModal);
    run_->progress->setMinimumDuration(300);
    run_->progress->setValue(0);
    // One file per turn of the event loop: the program stays responsive and cancel is seen
    // between files.
    QTimer::singleShot(0, this, &TagWindow::unifyStep);
}

void TagWindow::unifyStep() {
    if (!run_) return;
    if (run_->progress->wasCanceled()) {
        run_->result.cancelled = true;
        unifyFinished();
        return;
    }
    if (run_->next >= run_->files.size()) {
        unifyFinished();
        return;
    }
    const QString failure = editor_.unifyOne(run_->field, run_->value, run_->files[run_->next++]);
    if (failure.isEmpty())
        ++run_->result.written;
    else
        run_->result.errors << failure;
    run_->progress->setValue(run_->next);
    QTimer::singleShot(0, this, &TagWindow::unifyStep);
}

void TagWindow::unifyFinished() {
    const std::unique_ptr<UnifyRun> run = std::move(run_);
    run->progress->reset();
    showFields();
    const QStringList& errors = run->result.errors;
    if (errors.isEmpty()) return;
    QStringList shown = errors.mid(0, kListedFailures);
    if (errors.size() > kListedFailures)
        shown << tr("... and %1 more files.").arg(errors.size() - kListedFailures);
    tell_(shown.join(QLatin1Char('\n')));
}

void TagWindow::hideEvent(QHideEvent* event) {
    WindowPlacement::save(*this, store_, kPlacementName, true);
    QMainWindow::hideEvent(event);
}

}  // namespace ombrix
