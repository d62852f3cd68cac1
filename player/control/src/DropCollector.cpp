#include "ombrix/control/DropCollector.h"

#include <mixora.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <vector>

#include "ombrix/control/CommandLine.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {
namespace {

/// Deepest folder nesting walked (a bind mount can loop without a symbolic link).
constexpr int kMaxDepth = 64;

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

    bool file(QString name) {
        QString ext = MediaIdentifier::extension(name);
        if (ext == QLatin1String(".lnk")) {
            const QString target =
                QFile::decodeName(ResolveLink(QFile::encodeName(name).constData()));
            const QFileInfo info(target);
            // A link to a missing file or to a folder contributes nothing.
            if (target.isEmpty() || !info.exists() || info.isDir()) return true;
            name = target;
            ext = MediaIdentifier::extension(name);
        }
        if (ext == QLatin1String(".url")) {
            const QString url = shortcutUrl(name);
            return url.isEmpty() || add(url);
        }
        if (media_.isSupported(name)) return add(CommandLine::longForm(name));
        // A name without an extension is named as a whole, so the text never starts blank.
        addStatus((ext.isEmpty() ? QFileInfo(name).fileName() : ext) +
                  QStringLiteral(" is not supported"));
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

    static QString shortcutUrl(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.read(DropCollector::kMaxShortcutBytes);
        return IniDocument::parse(TextFile::decodeLines(bytes))
            .readString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"))
            .trimmed();
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

}  // namespace ombrix
