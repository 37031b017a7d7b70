# Installing the desktop program: the program in bin, the help page and the logos in
# share/tarnis-data-viewer, the desktop entry in share/applications and the icon in the
# hicolor theme. Included at the end of the gui section of src/CMakeLists.txt, after the
# tdv_gui library and the tarnis-data-viewer executable are defined.
include(GNUInstallDirs)

set(TDV_SHARE_SOURCE_DIR ${CMAKE_SOURCE_DIR}/share)
# Run from the build tree, the help window finds its page in the source tree.
target_compile_definitions(tdv_gui PRIVATE TDV_SOURCE_SHARE_DIR="${TDV_SHARE_SOURCE_DIR}")

# tdv, the same features on the command line, goes beside it (the help page describes both).
install(TARGETS tarnis-data-viewer tdv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TDV_SHARE_SOURCE_DIR}/TARNISDataViewer.htm
              ${CMAKE_CURRENT_SOURCE_DIR}/gui/resources/logo_product.png
              ${CMAKE_CURRENT_SOURCE_DIR}/gui/resources/logo_wordmark.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnis-data-viewer)
install(FILES ${TDV_SHARE_SOURCE_DIR}/tarnis-data-viewer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TDV_SHARE_SOURCE_DIR}/icons/tarnis-data-viewer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TDV_SHARE_SOURCE_DIR}/tdv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
