# Installing the desktop program: the program in bin, the help page and the logos in
# share/tarnis-data-viewer, the desktop entry in share/applications, the icon in the
# hicolor theme, both manual pages, and the copyright and changelog in
# share/doc/tarnis-data-viewer. Included at the end of the gui section of src/CMakeLists.txt, after the
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
# The manual pages and the Debian changelog go in compressed, as Debian's policy asks
# (gzip -9n: no name or time stamp inside, so the package comes out the same each time);
# the copyright file goes in as it is.
set(TDV_GZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/compressed)
install(CODE "
    file(MAKE_DIRECTORY \"${TDV_GZ_DIR}\")
    foreach(name tdv.1 tarnis-data-viewer.1 changelog.Debian)
        execute_process(COMMAND gzip -9nc \"${TDV_SHARE_SOURCE_DIR}/\${name}\"
                        OUTPUT_FILE \"${TDV_GZ_DIR}/\${name}.gz\" RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR \"gzip failed on \${name}\")
        endif()
    endforeach()
")
install(FILES ${TDV_GZ_DIR}/tdv.1.gz ${TDV_GZ_DIR}/tarnis-data-viewer.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TDV_SHARE_SOURCE_DIR}/copyright ${TDV_GZ_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnis-data-viewer)
