# Read by CPack as it starts each generator. The udev rule's directory is
# absolute, so every generator but Debian's, which stages on its own, stages
# the install under DESTDIR rather than install into the machine itself.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_SET_DESTDIR ON)
endif()
