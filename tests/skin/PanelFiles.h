#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#include "ombrix/skin/PanelCommands.h"

namespace ombrix::test {

/// A folder for panels made by a test.
struct PanelFolder {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    /// Writes @p name.bmp filled with @p base (and .alt.bmp with @p alt when valid) and the
    /// description lines (none: no .btn file).
    QString write(const QString& name, QSize size, QColor base, QColor alt = {},
                  const QStringList& btn = {}) const;
};

/// Records what the panel asks for.
struct RecordingCommands : PanelCommands {
    std::vector<QString> calls;
    bool toggles[26] = {};
    int volume = -1, pan = 999;
    void play() override { calls.push_back("play"); }
    void stop() override { calls.push_back("stop"); }
    void pause() override { calls.push_back("pause"); }
    void resume() override { calls.push_back("resume"); }
    void openFiles() override { calls.push_back("open"); }
    void next() override { calls.push_back("next"); }
    void previous() override { calls.push_back("prev"); }
    void seekHeld(bool f) override { calls.push_back(f ? "seek+" : "seek-"); }
    void seekReleased() override { calls.push_back("seek released"); }
    void volumeHeld(bool up) override { calls.push_back(up ? "vol+" : "vol-"); }
    void volumeReleased() override { calls.push_back("vol released"); }
    void toggle(int e) override { toggles[e] = !toggles[e]; }
    bool toggleState(int e) const override { return toggles[e]; }
    void outputLevel(int v, int p) override {
        volume = v;
        pan = p;
    }
    void startWindowDrag() override { calls.push_back("drag"); }
    void toggleCoolbar() override { calls.push_back("coolbar"); }
    void playEntry(int i) override { calls.push_back("entry " + QString::number(i)); }
    void seekTo(double f) override { calls.push_back("seek " + QString::number(f)); }
    QString last() const { return calls.empty() ? QString() : calls.back(); }
};

/// Description lines placing @p element at (l, t, r, b).
QStringList rect(const QString& element, int l, int t, int r, int b);

}  // namespace ombrix::test
