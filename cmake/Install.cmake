# What `make install` puts below the prefix: the program and the decoder tool in bin, the
# program's own shared libraries in lib/ombrix (private: "libmp3.so" is too common a name for the
# system's library folder), the default data in share/ombrix, and the desktop's files: the
# desktop entry, the icons, the AppStream metainfo and the playlist's MIME type; the manual page.
# Every path is relative to the prefix, so DESTDIR and --prefix work as usual.
set(OMBRIX_PRIVATE_LIBDIR lib/ombrix)

# The installed program finds its libraries next to itself, wherever the prefix is.
set_target_properties(ombrix ombrix-decode PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${OMBRIX_PRIVATE_LIBDIR}")
set_target_properties(mp3 mixora blitra PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ombrix ombrix-decode RUNTIME DESTINATION bin)
install(TARGETS mp3 mixora blitra ombrix_windows_video LIBRARY DESTINATION ${OMBRIX_PRIVATE_LIBDIR})
# The visual plug-ins' host is the program's own helper, not a command: it goes beside the
# libraries, where the player looks for it (bin/../lib/ombrix).
install(TARGETS ombrix-plugin-host RUNTIME DESTINATION ${OMBRIX_PRIVATE_LIBDIR})

# The icons are drawn by the artwork generator at build time.
set(OMBRIX_ICON_DIR ${PROJECT_BINARY_DIR}/data/icons)
add_custom_command(
  OUTPUT ${OMBRIX_ICON_DIR}/hicolor/scalable/apps/ombrix.svg
  COMMAND ombrix-art icons ${OMBRIX_ICON_DIR}
  DEPENDS ombrix-art
  COMMENT "Drawing the desktop icons"
  VERBATIM)
add_custom_target(ombrix_icons ALL DEPENDS ${OMBRIX_ICON_DIR}/hicolor/scalable/apps/ombrix.svg)
install(DIRECTORY ${OMBRIX_ICON_DIR}/hicolor DESTINATION share/icons)

set(OMBRIX_APPSTREAM_ID io.github.ombrix.Player)
configure_file(${PROJECT_SOURCE_DIR}/data/desktop/${OMBRIX_APPSTREAM_ID}.metainfo.xml
  ${PROJECT_BINARY_DIR}/data/desktop/${OMBRIX_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/ombrix.desktop DESTINATION share/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/desktop/${OMBRIX_APPSTREAM_ID}.metainfo.xml
  DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/ombrix-mime.xml
  DESTINATION share/mime/packages RENAME ombrix.xml)

# The manual page, with the project's version filled in.
configure_file(${PROJECT_SOURCE_DIR}/data/ombrix.1.in ${PROJECT_BINARY_DIR}/data/ombrix.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/ombrix.1 DESTINATION share/man/man1)
