# Windows: the programs' icon and version information, and, in a build against
# a shared (DLL) Qt, everything the window needs beside it in the installed
# folder: the Qt DLLs and plugins, the MinGW run-time DLLs and the licences.
# scripts/package.sh packs that folder as the portable zip and the installer.

# partwright_windows_resource(<target> <description>): the icon
# assets/partwright.ico and a VERSIONINFO naming <description>.
function(partwright_windows_resource target description)
    set(rc_name ${target})
    set(rc_file_name ${target}.exe)
    set(rc_description ${description})
    set(rc_icon ${PROJECT_SOURCE_DIR}/assets/partwright.ico)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${rc_icon})
endfunction()

partwright_windows_resource(partwright-cli "Partwright command line: splits text files into smaller ones")
if(TARGET partwright)
    partwright_windows_resource(partwright "Partwright: splits text files into smaller ones")
endif()

if(NOT TARGET partwright)
    return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets)
get_target_property(qt_core_type Qt6::Core TYPE)
if(NOT qt_core_type STREQUAL "SHARED_LIBRARY")
    # A Qt linked into the program cannot be replaced by the user, as Qt's
    # LGPL asks of what we ship: that window is for the tests only.
    install(CODE "message(FATAL_ERROR \"This build links Qt statically; the window is packed from a build against a shared Qt (scripts/package.sh)\")")
    return()
endif()

# The command line stays one file that runs anywhere, also copied out of the
# folder; the window uses the run-time DLLs that the Qt DLLs need anyway.
target_link_options(partwright-cli PRIVATE -static)

install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt6::QICOPlugin> DESTINATION imageformats)

# Debian ships them with their symbols (libstdc++ some 24 MB); the folder gets
# stripped copies, made with the window.
set(runtime_dlls)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The MinGW run-time library ${dll} is not where ${CMAKE_CXX_COMPILER} says (${path})")
    endif()
    cmake_path(NORMAL_PATH path)
    set(stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll})
    add_custom_command(OUTPUT ${stripped}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/runtime
        COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path}
        DEPENDS ${path}
        COMMENT "Stripping ${dll}"
        VERBATIM)
    list(APPEND runtime_dlls ${stripped})
endforeach()
add_custom_target(partwright_runtime_dlls DEPENDS ${runtime_dlls})
add_dependencies(partwright partwright_runtime_dlls)
install(FILES ${runtime_dlls} DESTINATION .)

install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/windows/licenses/ DESTINATION licenses)
