# Renders SVG pictures to PNG files at build time with the host's rsvg-convert
# (Debian package librsvg2-bin), so a build whose Qt has no SVG module (the
# static Qt for Windows) gets the same sharp pictures as any other.
#
#   partwright_svg_to_png(<out_var> SVG <file.svg> SIZES <n>...
#                         [DESTINATION <folder>] [NAME <base>])
#
# Writes <folder>/<base>-<n>.png, n x n pixels, for every size n, and sets
# <out_var> to the list of those PNG files. <folder> defaults to
# ${CMAKE_CURRENT_BINARY_DIR}/pictures, <base> to the SVG's name without its
# extension. The PNGs are made when a target of the same folder uses them
# (as sources, through qt_add_resources, or in a custom target's DEPENDS).
# Example:
#   partwright_svg_to_png(icon_pngs SVG ${PROJECT_SOURCE_DIR}/assets/app.svg SIZES 16 32 48 256)
include_guard(GLOBAL)

find_program(PARTWRIGHT_RSVG_CONVERT rsvg-convert)

function(partwright_svg_to_png out_var)
    cmake_parse_arguments(ARG "" "SVG;DESTINATION;NAME" "SIZES" ${ARGN})
    if(NOT ARG_SVG OR NOT ARG_SIZES)
        message(FATAL_ERROR "partwright_svg_to_png needs SVG and SIZES")
    endif()
    if(NOT PARTWRIGHT_RSVG_CONVERT)
        message(FATAL_ERROR "rsvg-convert is missing (Debian package librsvg2-bin; scripts/setup.sh installs it)")
    endif()
    cmake_path(ABSOLUTE_PATH ARG_SVG BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
    if(NOT ARG_DESTINATION)
        set(ARG_DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/pictures)
    endif()
    if(NOT ARG_NAME)
        cmake_path(GET ARG_SVG STEM ARG_NAME)
    endif()

    set(outputs)
    foreach(size IN LISTS ARG_SIZES)
        if(NOT size MATCHES "^[1-9][0-9]*$")
            message(FATAL_ERROR "partwright_svg_to_png: size '${size}' is not a whole number of pixels")
        endif()
        set(png ${ARG_DESTINATION}/${ARG_NAME}-${size}.png)
        add_custom_command(
            OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_DESTINATION}
            COMMAND ${PARTWRIGHT_RSVG_CONVERT} --width ${size} --height ${size} --format png
                    --output ${png} ${ARG_SVG}
            DEPENDS ${ARG_SVG}
            COMMENT "Rendering ${ARG_NAME}-${size}.png"
            VERBATIM)
        list(APPEND outputs ${png})
    endforeach()
    set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()
