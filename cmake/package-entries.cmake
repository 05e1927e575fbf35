# Run by CPack before and after it makes a package, so that the package holds
# root's files with the usual modes whoever builds it, with whatever umask.
# Before: every staged directory becomes 0755 (install rules already give
# files 0644 and programs 0755). After, for an archive: the archive is written
# again, owned by root, with the files and the tool's own directories (those
# named backlight) alone, so that unpacking it at / changes no directory that
# the board already has.
if(NOT DEFINED CPACK_PACKAGE_FILES)
  file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
    "${CPACK_TEMPORARY_DIRECTORY}/*")
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/${entry}" AND NOT entry MATCHES "/backlight$")
      list(REMOVE_ITEM entries "${entry}")
    endif()
  endforeach()
  list(SORT entries)
  execute_process(COMMAND tar --create --gzip --file "${CPACK_PACKAGE_FILES}" --no-recursion
      --owner=root:0 --group=root:0 --mode=u=rwX,go=rX
      --directory "${CPACK_TEMPORARY_DIRECTORY}" -- ${entries}
    COMMAND_ERROR_IS_FATAL ANY)
endif()
