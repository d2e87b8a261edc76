# Linux: manual pages made from the programs' own --help at build time, and for
# the window its desktop entry and icon.
find_program(PARTWRIGHT_HELP2MAN help2man REQUIRED)
find_program(PARTWRIGHT_GZIP gzip REQUIRED)

# partwright_man_page(<program target> <one-line summary>): <target>.1.gz from
# `<target> --help`, with the sections of <target>.h2m. The page is named
# after the executable, whatever name its --version prints.
function(partwright_man_page program summary)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
    set(include ${CMAKE_CURRENT_SOURCE_DIR}/${program}.h2m)
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${PARTWRIGHT_HELP2MAN} --no-info --section 1 --name ${summary}
                --version-string ${PROJECT_VERSION}
                --include ${include} --output ${page} $<TARGET_FILE:${program}>
        COMMAND ${PARTWRIGHT_GZIP} -9nkf ${page}
        DEPENDS ${program} ${include}
        COMMENT "Writing the manual page of ${program}"
        VERBATIM)
    set_property(GLOBAL APPEND PROPERTY partwright_data_files ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

partwright_man_page(partwright-cli "split text files into many smaller text files")

if(PARTWRIGHT_GUI)
    partwright_man_page(partwright "a window that splits text files into many smaller text files")

    install(FILES partwright.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    set(icon ${PROJECT_SOURCE_DIR}/assets/partwright.svg)
    set(icon_sizes 16 22 24 32 48 64 128 256)
    partwright_svg_to_png(icon_pngs SVG ${icon} SIZES ${icon_sizes} DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/icons)
    set_property(GLOBAL APPEND PROPERTY partwright_data_files ${icon_pngs})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size IN LISTS icon_sizes)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/icons/partwright-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME partwright.png)
    endforeach()
endif()

get_property(data_files GLOBAL PROPERTY partwright_data_files)
add_custom_target(partwright_data ALL DEPENDS ${data_files})
