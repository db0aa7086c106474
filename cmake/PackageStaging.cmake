# Runs in CPack's staging tree before the package is made, doing what Debian's packaging helpers do:
# the changelog and manual pages gzip-compressed at maximum without a name or time stamp, binaries without notes.
file(GLOB_RECURSE staged LIST_DIRECTORIES false
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog"
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*/*.[1-9]")
foreach(file IN LISTS staged)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()

# The binaries are already stripped; drop the compiler's notes too, as Debian's own tools do.
file(GLOB staged_binaries LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/libexec/*/*")
foreach(file IN LISTS staged_binaries)
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${file}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "strip failed on ${file}")
    endif()
  endif()
endforeach()
