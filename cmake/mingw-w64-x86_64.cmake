# Cross-builds Partwright for 64-bit Windows with MinGW-w64 and runs what it
# builds under Wine:
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# For the window, add -DPARTWRIGHT_MINGW_QT=<folder of a Qt 6 built for MinGW>
# (scripts/test-windows.sh unpacks a static one into the build folder).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PARTWRIGHT_MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix flavour: the -win32 one has no std::thread and no std::mutex.
set(CMAKE_C_COMPILER ${PARTWRIGHT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PARTWRIGHT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PARTWRIGHT_MINGW_TRIPLET}-windres)

# Everything static, so an .exe runs on a bare Windows (or Wine prefix)
# without libstdc++, libgcc or winpthread DLLs beside it. A build against a
# shared Qt sets PARTWRIGHT_MINGW_SHARED_RUNTIME: the Qt DLLs need the
# run-time DLLs, and the programs must share them with Qt.
if(NOT PARTWRIGHT_MINGW_SHARED_RUNTIME)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
    set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
endif()

# zlib (Debian's libz-mingw-w64-dev) linked in, so no zlib1.dll goes with the programs.
set(ZLIB_USE_STATIC_LIBS ON)

# Tests, and gtest_discover_tests' listing of them, run through Wine.
find_program(PARTWRIGHT_WINE wine)
if(PARTWRIGHT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PARTWRIGHT_WINE})
endif()

# Libraries and headers come from the MinGW sysroot only, never from the
# Linux system; programs (the build tools) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PARTWRIGHT_MINGW_TRIPLET} ${PARTWRIGHT_MINGW_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's packages come from the MinGW Qt; moc, rcc and uic run on the host, so
# they come from the host's Qt of the same version (Debian's qt6-base-dev-tools).
if(PARTWRIGHT_MINGW_QT)
    list(APPEND CMAKE_PREFIX_PATH ${PARTWRIGHT_MINGW_QT})
    set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host's Qt tools")
    set(Qt6HostInfo_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo CACHE PATH "Host Qt's Qt6HostInfo package")
endif()
