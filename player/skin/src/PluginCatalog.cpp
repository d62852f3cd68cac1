#include "ombrix/skin/PluginCatalog.h"

#include <QDir>
#include <QFileInfo>

namespace ombrix {

QString pluginFolderName(PluginKind kind) {
    switch (kind) {
        case PluginKind::Background:
            return QStringLiteral("bg");
        case PluginKind::FullScreen:
            return QStringLiteral("full");
        case PluginKind::Amp:
            return QStringLiteral("amp");
    }
    return {};
}

namespace {

constexpr std::array kKinds{PluginKind::Background, PluginKind::FullScreen, PluginKind::Amp};

}  // namespace

PluginCatalog::PluginCatalog(QString pluginFolder) : folder_(std::move(pluginFolder)) {}

void PluginCatalog::scan() {
    for (PluginKind kind : kKinds) {
        const QDir dir(QDir(folder_).filePath(pluginFolderName(kind)));
        QStringList files =
            dir.entryList({QStringLiteral("*.so")}, QDir::Files | QDir::Readable, QDir::Name);
        if (files.size() > kMaxPerKind) files.resize(kMaxPerKind);
        files_[static_cast<std::size_t>(kind)] = files;
    }
}

QStringList PluginCatalog::entries() const {
    QStringList out;
    for (PluginKind kind : kKinds)
        for (const QString& file : files_[static_cast<std::size_t>(kind)])
            out << pluginFolderName(kind) + QLatin1Char('/') + file;
    return out;
}

QStringList PluginCatalog::captions(PluginKind kind) const {
    QStringList out;
    for (const QString& file : files_[static_cast<std::size_t>(kind)])
        out << QFileInfo(file).completeBaseName();
    return out;
}

QString PluginCatalog::path(PluginKind kind, const QString& caption) const {
    const QString file = caption + QStringLiteral(".so");
    if (!files_[static_cast<std::size_t>(kind)].contains(file)) return {};
    return QDir(QDir(folder_).filePath(pluginFolderName(kind))).absoluteFilePath(file);
}

}  // namespace ombrix
