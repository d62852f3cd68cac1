#include "ombrix/windows/playlist/PlaylistEditor.h"

#include <QFileInfo>
#include <algorithm>

#include "ombrix/control/EntryExpander.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/SongLength.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

PlaylistEditor::PlaylistEditor(PlaybackController& controller, SettingsStore& store,
                               QObject* parent)
    : QObject(parent),
      controller_(controller),
      store_(store),
      list_(std::make_unique<Playlist>(store.settings().preloadtag, SongLength::decoder())),
      table_(std::make_unique<PlaylistTable>(*list_, SongLength::decoder())),
      media_(store.mediaTypes().flat),
      random_(PlaylistOrder::systemRandom()) {
    const PlayerSettings& s = store.settings();
    const auto text = LegacyText::Choice::fromSettings(s.tagcodepage, s.language);
    list_->setTagText(text);
    table_->setTagText(text);
    connect(&controller_, &PlaybackController::entryRejected, this,
            [this](const QString& entry) { forget(entry); });
}

void PlaylistEditor::forget(const QString& entry) {
    const qsizetype row = list_->entries().indexOf(entry);
    if (row >= 0) list_->remove(row);
    filledFrom_.removeOne(entry);
}

PlaylistEditor::~PlaylistEditor() = default;

QStringList PlaylistEditor::entriesFor(const QString& name, const MediaIdentifier& media,
                                       QString* problem) {
    // The window fetches web addresses itself and keeps only what it can play.
    static const ExpansionRules rules{.followLinks = true,
                                      .skipMarkedLines = true,
                                      .keepWebAddresses = false,
                                      .onlySupported = true,
                                      .absolutePaths = true};
    const Expansion e = EntryExpander::expand(name, media, rules);
    if (problem && !e.problems.isEmpty()) *problem = e.problems.last();
    return e.entries;
}

int PlaylistEditor::addItems(const QStringList& names) {
    QStringList entries;
    QString problem;
    for (const QString& name : names) entries += entriesFor(name, media_, &problem);
    list_->addEntries(entries);
    if (!problem.isEmpty()) controller_.showStatus(problem);
    return int(entries.size());
}

int PlaylistEditor::show() {
    discard_ = false;
    filledFrom_ = controller_.playlist();
    // Tags may have been edited while the window was closed: shown rows are read anew.
    table_->forgetInfo();
    list_->setEntries(filledFrom_);
    if (list_->count() == 0) return -1;
    return std::clamp(controller_.currentIndex(), 0, int(list_->count()) - 1);
}

int PlaylistEditor::refill() {
    const QStringList& main = controller_.playlist();
    const bool appended = main.size() >= filledFrom_.size() &&
                          std::equal(filledFrom_.begin(), filledFrom_.end(), main.begin());
    if (!appended) {
        const bool keepDiscard = discard_;
        const int row = show();
        discard_ = keepDiscard;
        return row;
    }
    // Only what is new comes in: edits made in the window are not thrown away.
    list_->addEntries(main.mid(filledFrom_.size()));
    filledFrom_ = main;
    if (list_->count() == 0) return -1;
    return std::clamp(controller_.currentIndex(), 0, int(list_->count()) - 1);
}

void PlaylistEditor::close(int selectedRow) {
    if (discard_) return;
    const QStringList& entries = list_->entries();
    if (entries.isEmpty()) {
        controller_.stop();
        controller_.clearPlaylist();
        controller_.showIdleTitle();
        return;
    }
    const PlayerState st = controller_.state();
    const int playingRow = st.songOpen ? int(entries.lastIndexOf(st.currentEntry)) : -1;
    controller_.setPlaylist(entries);
    if (playingRow >= 0) {
        controller_.setCurrentIndex(playingRow);
        return;
    }
    const int row = selectedRow >= 0 && selectedRow < entries.size() ? selectedRow : 0;
    controller_.setCurrentIndex(row);
    // What was playing is gone from the list: the selected entry takes its place. Closing the
    // window while nothing plays starts nothing.
    if (st.songOpen) controller_.playEntry(row);
}

int PlaylistEditor::remove(const std::vector<int>& rows, int currentRow) {
    if (rows.empty()) return currentRow;
    const int first = *std::min_element(rows.begin(), rows.end());
    list_->deleteRows(rows);
    const int n = int(list_->count());
    if (n == 0) return -1;
    return std::min(first, n - 1);
}

int PlaylistEditor::up(int row) {
    if (row <= 0 || row >= list_->count()) return row;
    list_->move(row, row - 1);
    return row - 1;
}

int PlaylistEditor::down(int row) {
    if (row < 0 || row + 1 >= list_->count()) return row;
    list_->move(row, row + 1);
    return row + 1;
}

void PlaylistEditor::shuffle() {
    list_->shuffle(random_);
}

void PlaylistEditor::sort() {
    sortBy(PlaylistTable::kTitle, Qt::AscendingOrder);
}

void PlaylistEditor::sortBy(int column, Qt::SortOrder order) {
    list_->setEntries(PlaylistOrder::permuted(list_->entries(), table_->sortOrder(column, order)));
}

void PlaylistEditor::clear() {
    list_->clear();
}

void PlaylistEditor::play(int row) {
    if (row < 0 || row >= list_->count()) return;
    controller_.setPlaylist(list_->entries());
    controller_.playEntry(row);
}

bool PlaylistEditor::addUrl(const QString& text) {
    if (text.size() < 8) return false;
    list_->add(text);
    return true;
}

void PlaylistEditor::save(const QString& fileName) const {
    PlaylistFile::save(fileName, list_->entries());
}

QString PlaylistEditor::tagTarget(int row) const {
    if (row < 0 || row >= list_->count()) return {};
    const QString& entry = list_->entries()[row];
    static const QStringList taggable{".mp3", ".mp2", ".mpa", ".rmp", ".wav"};
    // Compared as written: the tagger writes these extensions only.
    const int dot = int(entry.lastIndexOf(QLatin1Char('.')));
    return dot >= 0 && taggable.contains(entry.mid(dot)) ? entry : QString();
}

QString PlaylistEditor::statusText(int row) {
    if (row < 0 || row >= list_->count()) return {};
    QString path = list_->entries()[row];
    const QString ext = MediaIdentifier::extension(path);
    for (const QLatin1String archive : {QLatin1String(".zip"), QLatin1String(".lzh")})
        if (ext.startsWith(archive)) path = path.left(path.size() - ext.size()) + archive;
    list_->refreshTitle(row);
    const PlayerState st = controller_.state();
    if (st.playing && !st.currentFile.isEmpty() &&
        QFileInfo(st.currentFile).completeBaseName() == QFileInfo(path).completeBaseName())
        return kPlayingPrefix + QFileInfo(path).fileName();
    return path;
}

int PlaylistEditor::rowForPlaying(int index) const {
    const QStringList& main = controller_.playlist();
    if (index < 0 || index >= main.size()) return -1;
    return int(list_->entries().indexOf(main[index]));
}

}  // namespace ombrix
