# The client side of Wayland protocols, generated at build time by wayland-scanner from their
# descriptions.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VELLOWAY_WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(VELLOWAY_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(VELLOWAY_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
if(NOT VELLOWAY_WAYLAND_SCANNER OR NOT VELLOWAY_WAYLAND_PROTOCOLS)
  message(FATAL_ERROR "wayland-scanner and wayland-protocols are needed (scripts/setup)")
endif()

# velloway_wayland_protocol(TARGET XML): a library TARGET of one protocol's code, from its
# description XML: its header, NAME-client-protocol.h after the description's name, and its glue
# code. The generated C is built without the project's warnings, which are not its own, and its
# header is a system header to its users for the same reason.
function(velloway_wayland_protocol target xml)
  get_filename_component(name ${xml} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(header ${dir}/${name}-client-protocol.h)
  set(code ${dir}/${name}-protocol.c)
  add_custom_command(OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${VELLOWAY_WAYLAND_SCANNER} client-header ${xml} ${header}
    DEPENDS ${xml} VERBATIM)
  add_custom_command(OUTPUT ${code}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${VELLOWAY_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml} VERBATIM)
  add_library(${target} STATIC ${header} ${code})
  target_include_directories(${target} SYSTEM PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC PkgConfig::VELLOWAY_WAYLAND_CLIENT)
endfunction()
