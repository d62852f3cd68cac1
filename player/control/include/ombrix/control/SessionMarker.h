#pragma once

#include <QString>
#include <optional>

namespace ombrix {

/**
 * @brief Remembers, in a small file in the home, which entry is playing while the program runs.
 *        The file is removed at a clean shutdown, so finding it at the next start means the last
 *        run crashed or hung, most likely on that entry.
 *
 * Thread affinity: main thread.
 */
class SessionMarker {
public:
    static inline const QString kFileName = QStringLiteral("running.state");

    struct Entry {
        int index = -1;
        QString name;
    };

    explicit SessionMarker(QString path);

    /// The entry that was playing when the last run ended without a clean shutdown; read once
    /// at start-up before begin().
    std::optional<Entry> uncleanExit() const;
    /// A run starts: the marker exists from now on.
    void begin();
    /// Entry @p index (@p name) starts playing.
    void songStarted(int index, const QString& name);
    /// Clean shutdown: the marker goes.
    void end();

private:
    void write(const Entry& entry);

    QString path_;
};

}  // namespace ombrix
