# The Windows build: the same layers with the Win32 back end, cross-built
# with mingw-w64 (cmake/mingw-w64-x86_64.cmake, driven by scripts/build-windows).
#
# Included from the top CMakeLists.txt in place of the POSIX back end;
# tarvel_windows_programs() is called there once every layer exists.

# Windows 7 and later. The A and W forms of the system calls are named
# explicitly, so UNICODE stays undefined.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601)
# M_PI and the other constants of <cmath> under -std=c++20 (no GNU extensions).
add_compile_definitions(_USE_MATH_DEFINES)
set(TARVEL_GTK OFF)

# Files, directories and locale (the counterpart of platform/posix), used by
# every program: the window program, the report tool and the tests.
add_library(tarvel_win32 STATIC ${CMAKE_SOURCE_DIR}/platform/win32/win32_files.cpp
  ${CMAKE_SOURCE_DIR}/platform/win32/win32_folder.cpp
  ${CMAKE_SOURCE_DIR}/platform/win32/win32_console.cpp)
target_link_libraries(tarvel_win32 PUBLIC tarvel_platform_common)
add_library(tarvel_posix ALIAS tarvel_win32)

function(tarvel_windows_programs)
  # The window program's back end: process, locale, message boxes, the
  # open-file dialog, the message pump and the report window.
  add_library(tarvel_win32gui STATIC
    ${CMAKE_SOURCE_DIR}/platform/win32/win32_process.cpp
    ${CMAKE_SOURCE_DIR}/platform/win32/win32_window.cpp)
  target_link_libraries(tarvel_win32gui PUBLIC tarvel_win32 comdlg32 shell32 gdi32 user32)

  add_executable(tarvel WIN32 ${CMAKE_SOURCE_DIR}/app/main_tarvel_win32.cpp)
  target_link_libraries(tarvel PRIVATE tarvel_app tarvel_win32gui)
  tarvel_ship_font(tarvel)

  # The report tool and the fix tool take their file names from the UTF-16
  # command line here.
  set_property(TARGET tarvel-report PROPERTY SOURCES ${CMAKE_SOURCE_DIR}/app/main_report_win32.cpp)
  set_property(TARGET tarvel-fix PROPERTY SOURCES ${CMAKE_SOURCE_DIR}/app/main_fix_win32.cpp)

  # The programs ship stripped, with the icon, version information and manifest.
  foreach(program tarvel tarvel-report tarvel-fix)
    target_link_options(${program} PRIVATE -s)
    tarvel_windows_resources(${program})
  endforeach()

  # The release archive tarvel-<version>-windows.zip: the three programs, the font
  # with its licence, the notices of everything linked in and the README, in
  # a folder of the same name; its SHA-256 in a file beside it.
  set(name tarvel-${PROJECT_VERSION}-windows)
  set(res ${CMAKE_SOURCE_DIR}/platform/win32/res)
  set(notices
    "FreeType (linked into tarvel.exe)=/usr/share/doc/libfreetype6/copyright"
    "mingw-w64 runtime and winpthreads (linked into every program)=/usr/share/doc/mingw-w64-x86-64-dev/copyright"
    "GCC runtime libraries: libstdc++, libgcc (linked into every program)=/usr/share/doc/gcc-mingw-w64-base/copyright"
    "TinyGLTF (linked into tarvel-fix.exe)=/usr/share/doc/libtinygltf-dev/copyright"
    "The font mplus-2m-regular.ttf (VL Gothic)=${TARVEL_FONT_LICENSE}")
  list(JOIN notices "|" notices)
  add_custom_target(tarvel_windows_zip
    COMMAND ${CMAKE_COMMAND}
            -DSTAGE=${CMAKE_BINARY_DIR}/package/${name}
            -DZIP=${CMAKE_BINARY_DIR}/${name}.zip
            "-DPROGRAMS=$<TARGET_FILE:tarvel>|$<TARGET_FILE:tarvel-report>|$<TARGET_FILE:tarvel-fix>"
            -DFONT=${TARVEL_FONT_SRC} -DFONT_LICENSE=${TARVEL_FONT_LICENSE}
            -DREADME=${CMAKE_SOURCE_DIR}/platform/win32/README-Windows.txt
            -DNOTICES_HEAD=${res}/notices-head.txt "-DNOTICES=${notices}"
            -P ${CMAKE_SOURCE_DIR}/cmake/windows-package.cmake
    DEPENDS tarvel tarvel-report tarvel-fix
    COMMENT "Packing ${name}.zip"
    VERBATIM)
endfunction()

# The icon, built from its generator; the manifest with the DPI setting.
# The canvas is drawn pixel for pixel and does not scale itself, so the
# release declares itself DPI-unaware: at 125-200 % Windows enlarges the
# window to the size the user chose (softer, but the Japanese names stay
# readable; captures and clipboard coordinates are in canvas pixels either
# way). TARVEL_DPI_AWARE declares system DPI awareness instead (crisp, but
# the text keeps its pixel size and so shrinks on a scaled screen).
option(TARVEL_DPI_AWARE "Declare the programs DPI-aware in their manifest" OFF)
find_program(TARVEL_PYTHON NAMES python3 REQUIRED)

function(tarvel_windows_resources target)
  set(src ${CMAKE_SOURCE_DIR}/platform/win32/res)
  set(out ${CMAKE_BINARY_DIR}/res)
  if(NOT TARGET tarvel_icon)
    if(TARVEL_DPI_AWARE)
      set(TARVEL_DPI_SETTINGS [=[      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">system</dpiAwareness>]=])
    else()
      set(TARVEL_DPI_SETTINGS [=[      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">false</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">unaware</dpiAwareness>]=])
    endif()
    configure_file(${src}/tarvel.manifest.in ${out}/tarvel.manifest @ONLY)
    file(CONFIGURE OUTPUT ${out}/tarvel_version.h CONTENT [=[
#define TARVEL_VERSION_MAJOR @PROJECT_VERSION_MAJOR@
#define TARVEL_VERSION_MINOR @PROJECT_VERSION_MINOR@
#define TARVEL_VERSION_TEXT "@PROJECT_VERSION@"
]=] @ONLY)
    add_custom_command(OUTPUT ${out}/tarvel.ico
      COMMAND ${TARVEL_PYTHON} ${src}/make_icon.py ${out}/tarvel.ico
      DEPENDS ${src}/make_icon.py
      COMMENT "Drawing tarvel.ico"
      VERBATIM)
    add_custom_target(tarvel_icon DEPENDS ${out}/tarvel.ico)
  endif()
  set(defs)
  if(target STREQUAL "tarvel-report")
    list(APPEND defs -DTARVEL_REPORT_TOOL)
  elseif(target STREQUAL "tarvel-fix")
    list(APPEND defs -DTARVEL_FIX_TOOL)
  endif()
  set(obj ${out}/${target}.res.o)
  add_custom_command(OUTPUT ${obj}
    COMMAND ${CMAKE_RC_COMPILER} -O coff ${defs} -I ${out} -I ${src} -i ${src}/tarvel.rc -o ${obj}
    DEPENDS ${src}/tarvel.rc ${out}/tarvel.ico ${out}/tarvel.manifest ${out}/tarvel_version.h
    COMMENT "Resources of ${target}"
    VERBATIM)
  set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${obj})
endfunction()
