# Runs at install time: the manual page names the folders of the prefix it is installed into, which
# "cmake --install --prefix" and cpack choose only then. Expects LUMORA_MAN_SOURCE, LUMORA_MAN_WORK,
# LUMORA_VERSION and the GNUInstallDirs folders LUMORA_DATADIR_REL, LUMORA_LIBEXECDIR_REL, LUMORA_MANDIR_REL.
foreach(var LUMORA_MAN_SOURCE LUMORA_MAN_WORK LUMORA_VERSION LUMORA_DATADIR_REL LUMORA_LIBEXECDIR_REL
        LUMORA_MANDIR_REL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "InstallManPage.cmake: ${var} is not set")
  endif()
endforeach()

function(lumora_full_dir out rel)
  if(IS_ABSOLUTE "${rel}")
    set(${out} "${rel}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${rel}" PARENT_SCOPE)
  endif()
endfunction()

set(PROJECT_VERSION "${LUMORA_VERSION}")
lumora_full_dir(LUMORA_DATADIR "${LUMORA_DATADIR_REL}")
lumora_full_dir(LUMORA_LIBEXECDIR "${LUMORA_LIBEXECDIR_REL}")
lumora_full_dir(mandir "${LUMORA_MANDIR_REL}")

file(MAKE_DIRECTORY "${LUMORA_MAN_WORK}")
configure_file("${LUMORA_MAN_SOURCE}" "${LUMORA_MAN_WORK}/lumora.1" @ONLY)
# -n leaves the name and time out of the header, so the same page always gives the same bytes.
execute_process(COMMAND gzip -9n -c "${LUMORA_MAN_WORK}/lumora.1"
                OUTPUT_FILE "${LUMORA_MAN_WORK}/lumora.1.gz" RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the manual page: ${gzip_result}")
endif()
file(INSTALL DESTINATION "${mandir}/man1" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     FILES "${LUMORA_MAN_WORK}/lumora.1.gz")
