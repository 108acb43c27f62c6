# The program's window icon, compiled in: tools/make_icon turns the PNG sizes
# of data/icons into C++ data at build time, each also with the red mark the
# window shows while a host is silent, so that the program reads no file for
# them. TANDREL_ICON_SOURCE names the generated file.
find_package(ZLIB REQUIRED)
add_executable(make_icon ${PROJECT_SOURCE_DIR}/tools/make_icon.cpp)
target_include_directories(make_icon PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(make_icon PRIVATE ZLIB::ZLIB)

set(icon_pngs)
foreach(size 16 32 48 64)
  list(APPEND icon_pngs ${PROJECT_SOURCE_DIR}/data/icons/tandrel-${size}.png)
endforeach()
set(TANDREL_ICON_SOURCE ${PROJECT_BINARY_DIR}/generated/program_icon.cpp)
add_custom_command(OUTPUT ${TANDREL_ICON_SOURCE}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/generated
                   COMMAND make_icon ${TANDREL_ICON_SOURCE} ${icon_pngs}
                   DEPENDS make_icon ${icon_pngs}
                   COMMENT "Compiling the window icon in from data/icons" VERBATIM)
