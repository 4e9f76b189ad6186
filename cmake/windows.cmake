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
  ${CMAKE_SOURCE_DIR}/platform/win32/win32_folder.cpp)
target_link_libraries(tarvel_win32 PUBLIC tarvel_platform_common)
add_library(tarvel_posix ALIAS tarvel_win32)

function(tarvel_windows_programs)
  # The headless double refers to the window logic and the pending code by
  # weak references, null in the test programs of the lower layers. PE
  # objects cannot leave a weak reference unresolved, so here those programs
  # link the definitions: -u pulls the window logic and the run state in.
  target_link_libraries(tarvel_headless PUBLIC tarvel_display tarvel_base)
  target_link_options(tarvel_headless INTERFACE
    "LINKER:-u,_Z11WindowOnKeyiibbb" "LINKER:-u,_Z14SetPendingCodei")

  # The window program's back end: process, locale, message boxes, the
  # open-file dialog, the message pump and the report window.
  add_library(tarvel_win32gui STATIC
    ${CMAKE_SOURCE_DIR}/platform/win32/win32_process.cpp
    ${CMAKE_SOURCE_DIR}/platform/win32/win32_window.cpp)
  target_link_libraries(tarvel_win32gui PUBLIC tarvel_display tarvel_base
    comdlg32 shell32 gdi32 user32)

  add_executable(tarvel WIN32 ${CMAKE_SOURCE_DIR}/app/main_tarvel_win32.cpp)
  target_link_libraries(tarvel PRIVATE tarvel_app tarvel_win32gui)
  tarvel_ship_font(tarvel)

  # The release archive: both programs, the font with its licence notice and
  # a short README, in a folder tarvel-windows/ (target tarvel_windows_zip).
  set(stage ${CMAKE_BINARY_DIR}/package/tarvel-windows)
  add_custom_target(tarvel_windows_zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/package
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tarvel> $<TARGET_FILE:tarvel-report> ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${TARVEL_FONT_SRC} ${stage}/mplus-2m-regular.ttf
    COMMAND ${CMAKE_COMMAND} -E copy ${TARVEL_FONT_LICENSE} ${stage}/mplus-2m-regular.LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/platform/win32/README-Windows.txt ${stage}/README.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
            ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/tarvel-windows.zip --format=zip tarvel-windows
    DEPENDS tarvel tarvel-report
    COMMENT "Packing tarvel-windows.zip"
    VERBATIM)
endfunction()
