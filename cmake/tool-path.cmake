# backlight_tool(BINDIR): sets BACKLIGHT_TOOL to the tool's installed path
# and BACKLIGHT_STATE_TOOL to backlight-state's, which the boot script and
# the keys' triggers write in single quotes, or stops where they cannot be
# written there (triggerhappy also takes a '#' for a comment). Called when
# the build is configured, and again at install time, whose prefix may be
# another.
function(backlight_tool bindir)
  set(BACKLIGHT_TOOL "${bindir}/backlight" PARENT_SCOPE)
  set(BACKLIGHT_STATE_TOOL "${bindir}/backlight-state" PARENT_SCOPE)
  if(bindir MATCHES "['#\n\r]")
    message(FATAL_ERROR "CMAKE_INSTALL_PREFIX cannot be written in the boot script:\n \"${CMAKE_INSTALL_PREFIX}\"\n"
      "The tool's path, ${bindir}/backlight, holds no quote ('), '#' or line break.")
  endif()
endfunction()
