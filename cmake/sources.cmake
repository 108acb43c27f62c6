# The source files of each library, named here alone: the main build and the
# fuzz build (fuzz/CMakeLists.txt) both include this file, so a file added to
# a library reaches both. Paths are absolute.
get_filename_component(TANDREL_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Pixel-format converters: pure code, no Xlib.
set(TANDREL_CONVERT_SOURCES ${TANDREL_ROOT}/gfx/x11/convert.cpp)

# Driver lists: the one that names the back-ends, linked beside them into the
# program, and the one that names none, for unit tests and fuzzers.
set(TANDREL_DRIVER_LIST_SOURCES ${TANDREL_ROOT}/gfx/driver_list.cpp)
set(TANDREL_NULL_DRIVER_LIST_SOURCES ${TANDREL_ROOT}/gfx/driver_list_null.cpp)

# Graphics core: no Xlib, and no back-end named.
file(GLOB TANDREL_GFX_SOURCES CONFIGURE_DEPENDS ${TANDREL_ROOT}/gfx/*.cpp)
list(REMOVE_ITEM TANDREL_GFX_SOURCES ${TANDREL_DRIVER_LIST_SOURCES}
  ${TANDREL_NULL_DRIVER_LIST_SOURCES})

# The X11 back-end, which alone includes Xlib.
file(GLOB TANDREL_X11_SOURCES CONFIGURE_DEPENDS ${TANDREL_ROOT}/gfx/x11/*.cpp)
list(REMOVE_ITEM TANDREL_X11_SOURCES ${TANDREL_CONVERT_SOURCES})

# Application core: host table, configuration, probe, latency, text conversions.
set(TANDREL_CORE_SOURCES text.cpp streams.cpp hosts.cpp commands.cpp config.cpp config_path.cpp
  progress.cpp probe.cpp latency.cpp)
list(TRANSFORM TANDREL_CORE_SOURCES PREPEND ${TANDREL_ROOT}/app/)

# Application window: main loop, host panel, latency graph, what the desktop is told.
set(TANDREL_UI_SOURCES window.cpp panel.cpp graph.cpp paint.cpp notice_window.cpp alert.cpp)
list(TRANSFORM TANDREL_UI_SOURCES PREPEND ${TANDREL_ROOT}/app/ui/)
