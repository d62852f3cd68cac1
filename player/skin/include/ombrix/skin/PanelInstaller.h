#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief Installs a panel from a zip archive into a panel or coolbar folder.
 *
 * Every member is written under its base name inside the folder only, never through a link.
 * An archive that holds a link, an absolute name or a ".." part, or no ".bmp" image at all, is
 * refused before anything is written.
 * Thread affinity: any.
 */
struct PanelInstaller {
    /**
     * @brief Extracts @p zipPath into @p folder (created when missing).
     * @return the caption of the first base image in the archive.
     * @throws PanelError with a message for the user ("not a panel file!" when the archive
     *         holds no image).
     */
    static QString install(const QString& zipPath, const QString& folder);
};

}  // namespace ombrix
