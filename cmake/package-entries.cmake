# Run by CPack before and after it makes a package, so that the package holds
# root's files with the usual modes whoever builds it, with whatever umask.
# Before: every staged directory becomes 0755 (install rules already give
# files 0644 and programs 0755). After, for a static archive to unpack at /:
# the archive is written again, owned by root, with the files and the tool's
# own directories (those named backlight) alone, so that unpacking it changes
# no directory that the board already has. It is written beside CPack's own,
# which it replaces only once it is whole.
if(NOT DEFINED CPACK_PACKAGE_FILES)
  file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
elseif(CPACK_BACKLIGHT_ARCHIVE_FOR_ROOT AND CPACK_GENERATOR STREQUAL "TGZ")
  execute_process(COMMAND find . -mindepth 1 ( -type f -o -name backlight )
    WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" OUTPUT_VARIABLE entries COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" entries "${entries}")
  string(REPLACE "\n" ";" entries "${entries}")
  list(SORT entries)
  set(archive "${CPACK_PACKAGE_FILES}")
  execute_process(COMMAND tar --create --gzip --file "${archive}.new" --no-recursion
      --owner=root:0 --group=root:0 --mode=u=rwX,go=rX
      --directory "${CPACK_TEMPORARY_DIRECTORY}" -- ${entries}
    RESULT_VARIABLE failed)
  if(failed)
    file(REMOVE "${archive}.new")
    message(FATAL_ERROR "tar could not write the archive for root; CPack's own is in ${archive}")
  endif()
  file(RENAME "${archive}.new" "${archive}")
endif()
