# Run by CPack on the files it has staged for the package, before it packs them (CPACK_PRE_BUILD_SCRIPTS): strips
# every ELF file as Debian's dh_strip does, the symbols and also the .comment and .note sections that record the
# compiler, which plain strip keeps.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${CPACK_KELVO_STRIP} --remove-section=.comment --remove-section=.note ${file}
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
