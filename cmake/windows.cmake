# Settings of the Windows build (MinGW-w64 against the static Qt that scripts/windows-qt.sh
# makes). Kept apart from the toolchain file, whose content is part of that Qt's cache key.

# The libraries scripts/windows-libs.sh builds for Windows (SQLite, SQLiteCpp, libzip) are
# found under its prefix as under the cross compiler's own root.
set(TOLVANE_WINDOWS_LIBS "" CACHE PATH "The prefix of the static libraries for Windows")
if(TOLVANE_WINDOWS_LIBS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TOLVANE_WINDOWS_LIBS})
endif()

# One exe that needs nothing but Windows' own DLLs: the C++ runtime and winpthreads go in
# whole, as Qt itself was built (-static-runtime).
add_link_options(-static)
# A release is linked without symbols, so that the tests run the very file players get.
add_link_options($<$<CONFIG:Release>:-s>)
# windows.h would otherwise define min and max as macros.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)

# Built on Linux, the tests run under Wine; CTest and test discovery go through this.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
endif()

# A path of this machine as a program under Wine names it: Wine maps / to the drive Z:.
function(tolvane_target_path out path)
    if(CMAKE_CROSSCOMPILING)
        set(${out} "Z:${path}" PARENT_SCOPE)
    else()
        set(${out} "${path}" PARENT_SCOPE)
    endif()
endfunction()

# A static Qt's plugins are linked into each program: its platform and the reader of the
# program's icon (ICO); no style, as the window uses Fusion.
function(tolvane_import_plugins target platform)
    qt_import_plugins(${target}
        INCLUDE_BY_TYPE platforms ${platform}
        INCLUDE_BY_TYPE imageformats Qt6::QICOPlugin
        EXCLUDE_BY_TYPE styles)
endfunction()
