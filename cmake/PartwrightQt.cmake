# What every Qt program of the project needs, the window's and the file
# list's tests included.

# A static Qt (the MinGW one) links no plugin by itself: the program names the
# platforms it can run on (windows, and offscreen for the tests) and the image
# formats it reads (ICO: the pointer files).
function(partwright_link_qt_plugins target)
    get_target_property(qt_core_type Qt6::Core TYPE)
    if(qt_core_type STREQUAL "STATIC_LIBRARY")
        qt_import_plugins(${target}
            INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin Qt6::QICOPlugin)
    endif()
endfunction()

# add_partwright_qt_test(name): registers the Qt Test executable `name` with
# CTest, run headless. The platform is chosen on the command line because
# under Wine the Linux environment (QT_QPA_PLATFORM) does not reach the program.
function(add_partwright_qt_test name)
    partwright_link_qt_plugins(${name})
    add_test(NAME ${name} COMMAND ${name} -platform offscreen)
    # A whole Qt Test program is one CTest test; under Wine on a busy machine
    # the window's run tests take minutes, not the default limit's two.
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
