#include "ombrix/control/DropCollector.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <vector>

#include "ombrix/control/EntryExpander.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {
namespace {

/// Deepest folder nesting walked (a bind mount can loop without a symbolic link).
constexpr int kMaxDepth = 64;

// Playlists and archives are expanded when the controller adds what the drop collected; a broken
// link among many dropped files is skipped without a word.
const ExpansionRules kDropRules{.followLinks = true,
                                .reportBrokenLinks = false,
                                .shortcutUrls = true,
                                .expandPlaylists = false,
                                .expandArchives = false,
                                .onlySupported = true,
                                .reportUnsupported = true,
                                .longNames = true};

bool isWebAddress(const QString& name) {
    return name.startsWith(QLatin1String("http"));
}

bool byName(const QFileInfo& a, const QFileInfo& b) {
    const int c = a.fileName().compare(b.fileName(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.fileName() < b.fileName();
}

class Walk {
public:
    Walk(const MediaIdentifier& media, const std::function<bool(int)>& progress)
        : media_(media), progress_(progress) {}

    /// false once the walk has to end (cancelled or a limit reached).
    bool take(const QString& name) {
        const QFileInfo info(name);
        if (info.isDir()) return folder(info.absoluteFilePath());
        return file(name);
    }

    /// A name of a command line: a folder is walked, anything else kept as given.
    bool takeName(const QString& name) {
        if (!isWebAddress(name) && QFileInfo(name).isDir())
            return folder(QFileInfo(name).absoluteFilePath());
        return add(name);
    }

    DropResult finish() {
        if (cancelled_) {
            result_.files.clear();
            result_.cancelled = true;
        } else if (full_) {
            addStatus(
                QStringLiteral("only the first %1 files were added").arg(result_.files.size()));
        }
        return std::move(result_);
    }

private:
    struct Frame {
        QStringList subfolders;
        qsizetype next = 0;
        QStringList files;
    };

    bool folder(const QString& root) {
        std::vector<Frame> stack;
        if (!enter(root, stack)) return false;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next < top.subfolders.size()) {
                const QString sub = top.subfolders[top.next++];
                if (stack.size() < kMaxDepth && !enter(sub, stack)) return false;
                continue;
            }
            const QStringList files = std::move(top.files);
            stack.pop_back();
            for (const QString& f : files)
                if (!file(f)) return false;
        }
        return true;
    }

    /// Lists @p dir onto the stack; false when the walk has to end.
    bool enter(const QString& dir, std::vector<Frame>& stack) {
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (canonical.isEmpty() || visited_.contains(canonical)) return true;
        visited_.insert(canonical);

        QFileInfoList entries =
            QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::NoSort);
        std::sort(entries.begin(), entries.end(), byName);
        Frame frame;
        for (const QFileInfo& e : entries) {
            if (!count()) return false;
            if (e.isDir()) {
                if (!e.isSymLink()) frame.subfolders << e.absoluteFilePath();
            } else {
                frame.files << e.absoluteFilePath();
            }
        }
        stack.push_back(std::move(frame));
        return true;
    }

    /// Counts one examined entry and reports progress; false when the walk has to end.
    bool count() {
        ++seen_;
        if (seen_ > DropCollector::kMaxEntries) {
            full_ = true;
            return false;
        }
        if (progress_ && seen_ % DropCollector::kProgressInterval == 0 &&
            !progress_(static_cast<int>(seen_))) {
            cancelled_ = true;
            return false;
        }
        return true;
    }

    bool file(const QString& name) {
        const Expansion e = EntryExpander::expand(name, media_, kDropRules);
        for (const QString& problem : e.problems) addStatus(problem);
        for (const QString& entry : e.entries)
            if (!add(entry)) return false;
        return true;
    }

    bool add(const QString& entry) {
        if (result_.files.size() >= DropCollector::kMaxFiles) {
            full_ = true;
            return false;
        }
        result_.files << entry;
        return true;
    }

    void addStatus(const QString& text) {
        if (!result_.statusTexts.contains(text)) result_.statusTexts << text;
    }

    const MediaIdentifier& media_;
    const std::function<bool(int)>& progress_;
    DropResult result_;
    QSet<QString> visited_;
    qsizetype seen_ = 0;
    bool cancelled_ = false;
    bool full_ = false;
};

}  // namespace

DropResult DropCollector::collect(const QStringList& dropped, const MediaIdentifier& media,
                                  const std::function<bool(int filesSeen)>& progress) {
    Walk walk(media, progress);
    for (const QString& name : dropped)
        if (!walk.take(name)) break;
    return walk.finish();
}

DropResult DropCollector::collectNames(const QStringList& names, const MediaIdentifier& media,
                                       const std::function<bool(int filesSeen)>& progress) {
    Walk walk(media, progress);
    for (const QString& name : names)
        if (!walk.takeName(name)) break;
    return walk.finish();
}

bool DropCollector::namesFolder(const QStringList& names) {
    return std::any_of(names.begin(), names.end(), [](const QString& name) {
        return !isWebAddress(name) && QFileInfo(name).isDir();
    });
}

}  // namespace ombrix
