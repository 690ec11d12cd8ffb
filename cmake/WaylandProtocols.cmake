# Client code for Wayland protocols that Qt does not wrap: wayland-scanner's header and glue code,
# added to the target.
find_program(WAYLAND_SCANNER wayland-scanner)
pkg_check_modules(WAYLAND_PROTOCOLS QUIET wayland-protocols)
if(WAYLAND_PROTOCOLS_FOUND)
  pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
endif()

function(lumora_wayland_protocol target xml)
  get_filename_component(name ${xml} NAME_WLE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_protocols)
  file(MAKE_DIRECTORY ${out})
  add_custom_command(OUTPUT ${out}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${out}/${name}-client-protocol.h DEPENDS ${xml})
  add_custom_command(OUTPUT ${out}/${name}-protocol.c
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${out}/${name}-protocol.c DEPENDS ${xml})
  target_sources(${target} PRIVATE ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c)
  target_include_directories(${target} PRIVATE ${out})
endfunction()
