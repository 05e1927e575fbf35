# The files that name the build's device, floor and state directory, written
# into configured_dir. The build includes this; the tests also run it alone,
# for values of their own, to see that each file follows them:
#
#   cmake -DBACKLIGHT_DEVICE=NAME -DBACKLIGHT_FLOOR=N -DBACKLIGHT_STATE_DIR=DIR \
#     -Dconfigured_dir=DIR -P cmake/configured-files.cmake
set(top ${CMAKE_CURRENT_LIST_DIR}/..)

# The manual page's footer carries the version, and the date of the latest
# release in the changelog.
file(STRINGS ${top}/packaging/changelog signature REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX MATCH ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+)" date "${signature}")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
if(month LESS 10)
  set(month 0${month})
endif()
set(MAN_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
# The device's name, as the udev rule (a glob), the mdev line (a regular
# expression) and the manual page (roff) each must write it.
string(REPLACE "." "\\." MDEV_DEVICE "${BACKLIGHT_DEVICE}")
string(REPLACE "-" "\\-" MAN_DEVICE "${BACKLIGHT_DEVICE}")
# What the floor does to a low request, in the manual page's words.
if(BACKLIGHT_FLOOR EQUAL 0)
  set(MAN_FLOOR_RULE "a request below 0 writes 0, which switches the backlight off,
and a request above the maximum writes the maximum.")
else()
  set(MAN_FLOOR_RULE "a request below ${BACKLIGHT_FLOOR} writes ${BACKLIGHT_FLOOR}, so the backlight is not
switched off by accident, and a request above the maximum writes the maximum.
On a device whose maximum is below ${BACKLIGHT_FLOOR} the maximum wins, and every request
writes it.")
endif()
# What a build installs outside its prefix is named after its device, so
# that builds for two devices, each under its own prefix, live side by side.
set(BACKLIGHT_RULE 70-backlight-${BACKLIGHT_DEVICE}.rules)
set(BACKLIGHT_SCRIPT S12backlight-${BACKLIGHT_DEVICE})
set(BACKLIGHT_TRIGGERS backlight-${BACKLIGHT_DEVICE}.conf)
configure_file(${top}/access/70-backlight.rules.in ${configured_dir}/${BACKLIGHT_RULE} @ONLY)
configure_file(${top}/access/mdev.conf.in ${configured_dir}/mdev.conf @ONLY)
# The boot script and the keys' triggers name the tool by its installed path,
# in single quotes, so, like the manual page, they are written at install
# time; build/S12backlight-NAME and build/backlight-NAME.conf are those for
# the configured prefix.
include(${CMAKE_CURRENT_LIST_DIR}/tool-path.cmake)
backlight_tool("${CMAKE_INSTALL_FULL_BINDIR}")
configure_file(${top}/access/S12backlight.in ${configured_dir}/${BACKLIGHT_SCRIPT} @ONLY)
configure_file(${top}/access/backlight.triggers.in ${configured_dir}/${BACKLIGHT_TRIGGERS} @ONLY)
set(BACKLIGHT_TOOL @BACKLIGHT_TOOL@)
set(BACKLIGHT_STATE_TOOL @BACKLIGHT_STATE_TOOL@)
configure_file(${top}/access/S12backlight.in ${configured_dir}/S12backlight.in @ONLY)
configure_file(${top}/access/backlight.triggers.in ${configured_dir}/backlight.triggers.in @ONLY)
# The manual page names the installed mdev line and guide, so the installed page is
# written at install time, for the prefix of that install (a package's /usr,
# an archive's or cmake --install's own). build/backlight.1 is the page for the
# configured prefix, to read before installing.
set(MAN_DATADIR ${CMAKE_INSTALL_FULL_DATADIR})
set(MAN_DOCDIR ${CMAKE_INSTALL_FULL_DOCDIR})
configure_file(${top}/docs/backlight.1.in ${configured_dir}/backlight.1 @ONLY)
set(MAN_DATADIR @MAN_DATADIR@)
set(MAN_DOCDIR @MAN_DOCDIR@)
configure_file(${top}/docs/backlight.1.in ${configured_dir}/backlight.1.in @ONLY)
