# The Qt a Windows program needs at run time, laid out beside it as
# windeployqt would (a cross build has no windeployqt): the DLLs in the
# program's folder, the platform plugin in platforms/, the style in
# styles/. Qt looks for plugins in those folders below the program's own,
# so the folder starts by itself, also under Wine without WINEPATH.
#
#   tessaline_deploy_qt(TARGET [FOR_TESTS])
#     copies them beside TARGET after each build; FOR_TESTS adds QtTest and
#     the offscreen and minimal platforms, which the tests run on.
#   tessaline_install_qt()
#     declares the install() rules of the window's set: DLLs into bin/,
#     the platform plugin into bin/platforms/, the style into bin/styles/,
#     so that `cmake --install` yields a folder that starts alone.
#
# Only for Windows builds; the lists name imported Qt targets, so CMake
# knows where this Qt keeps each file.
include_guard(DIRECTORY) # the lists below are variables of the including folder

# What the window loads: Widgets with what it rests on, the Windows
# platform, and the native style (without it the window is drawn in Fusion).
set(TESSALINE_QT_RUNTIME_LIBRARIES Qt6::Core Qt6::Gui Qt6::Widgets)
set(TESSALINE_QT_RUNTIME_PLATFORMS Qt6::QWindowsIntegrationPlugin)
set(TESSALINE_QT_RUNTIME_STYLES Qt6::QWindowsVistaStylePlugin)
set(TESSALINE_QT_TEST_LIBRARIES Qt6::Test)
set(TESSALINE_QT_TEST_PLATFORMS Qt6::QOffscreenIntegrationPlugin Qt6::QMinimalIntegrationPlugin)

# $<TARGET_FILE:...> of each target in the list variable Var, into Out.
function(_tessaline_qt_files Var Out)
  set(Files)
  foreach(Target IN LISTS ${Var})
    if(NOT TARGET ${Target})
      message(FATAL_ERROR "Qt deployment: ${Target} is not part of this Qt")
    endif()
    list(APPEND Files "$<TARGET_FILE:${Target}>")
  endforeach()
  set(${Out} ${Files} PARENT_SCOPE)
endfunction()

# Qt's imported targets belong to the folder that found them.
macro(_tessaline_find_qt_runtime)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)
endmacro()

function(tessaline_deploy_qt Target)
  cmake_parse_arguments(PARSE_ARGV 1 Deploy "FOR_TESTS" "" "")
  _tessaline_find_qt_runtime()
  set(LibraryNames ${TESSALINE_QT_RUNTIME_LIBRARIES})
  set(PlatformNames ${TESSALINE_QT_RUNTIME_PLATFORMS})
  if(Deploy_FOR_TESTS)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    list(APPEND LibraryNames ${TESSALINE_QT_TEST_LIBRARIES})
    list(APPEND PlatformNames ${TESSALINE_QT_TEST_PLATFORMS})
  endif()
  _tessaline_qt_files(LibraryNames DllFiles)
  _tessaline_qt_files(PlatformNames PlatformFiles)
  _tessaline_qt_files(TESSALINE_QT_RUNTIME_STYLES StyleFiles)
  set(Dir "$<TARGET_FILE_DIR:${Target}>")
  add_custom_command(TARGET ${Target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${Dir}/platforms" "${Dir}/styles"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${DllFiles} "${Dir}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PlatformFiles} "${Dir}/platforms"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${StyleFiles} "${Dir}/styles"
    VERBATIM)
endfunction()

function(tessaline_install_qt)
  _tessaline_find_qt_runtime()
  _tessaline_qt_files(TESSALINE_QT_RUNTIME_LIBRARIES DllFiles)
  _tessaline_qt_files(TESSALINE_QT_RUNTIME_PLATFORMS PlatformFiles)
  _tessaline_qt_files(TESSALINE_QT_RUNTIME_STYLES StyleFiles)
  install(FILES ${DllFiles} DESTINATION bin)
  install(FILES ${PlatformFiles} DESTINATION bin/platforms)
  install(FILES ${StyleFiles} DESTINATION bin/styles)
endfunction()
