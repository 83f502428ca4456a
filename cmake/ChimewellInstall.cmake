# Where an installed Chimewell lives. Every program and shipped file goes into
# one private program folder, as in the build tree's bin/, so an installed
# Chimewell runs exactly as a build does. Only the clock and the screen saver
# are linked into bin/: `date` would shadow the system's own.
include(GNUInstallDirs)

set(CHIMEWELL_INSTALL_PROGRAMDIR lib/chimewell CACHE STRING "The program folder, relative to the prefix")
set(CHIMEWELL_INSTALL_CHARDIR ${CMAKE_INSTALL_DATADIR}/chimewell/chars)
set(CHIMEWELL_APP_ID org.chimewell.Chimewell)
set(CHIMEWELL_PROGRAMS_ON_PATH chimewell lullscreen)
set(CHIMEWELL_SCREEN_SAVERS lullscreen)
set(CHIMEWELL_ADDONS date millenium drillquiz jollix)

# chimewell_install_link(LINK_DIR NAME TARGET_PATH): installs LINK_DIR/NAME as a
# relative symbolic link to TARGET_PATH, both relative to the prefix, so the
# link holds wherever the prefix (and DESTDIR) puts them.
function(chimewell_install_link dir name target)
  file(RELATIVE_PATH rel "/prefix/${dir}" "/prefix/${target}")
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dir}/${name}\")
    message(STATUS \"Installing: \${link} -> ${rel}\")
    get_filename_component(folder \"\${link}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${folder}\")
    file(CREATE_LINK \"${rel}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")")
endfunction()

# chimewell_install_program(TARGET): one line in each program's CMakeLists.txt.
# Installs the program into the program folder, links the clock and the saver
# into bin/, shows the saver to xscreensaver, and installs the program's man
# page when packaging/man has one.
function(chimewell_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CHIMEWELL_INSTALL_PROGRAMDIR})
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(target IN_LIST CHIMEWELL_PROGRAMS_ON_PATH)
    chimewell_install_link(${CMAKE_INSTALL_BINDIR} ${name} ${CHIMEWELL_INSTALL_PROGRAMDIR}/${name})
  endif()
  if(target IN_LIST CHIMEWELL_SCREEN_SAVERS)
    chimewell_install_link(${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver ${name} ${CHIMEWELL_INSTALL_PROGRAMDIR}/${name})
    if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/${name}.xml)
      install(FILES ${PROJECT_SOURCE_DIR}/packaging/${name}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
      # Also beside the program, where the build tree has it.
      install(FILES ${PROJECT_SOURCE_DIR}/packaging/${name}.xml DESTINATION ${CHIMEWELL_INSTALL_PROGRAMDIR})
    endif()
  endif()
  if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/man/${name}.1)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/${name}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  # The add-ons share one page, installed with the first of them.
  get_property(addon_page GLOBAL PROPERTY chimewell_addon_page_installed)
  if(target IN_LIST CHIMEWELL_ADDONS AND NOT addon_page)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/chimewell-addons.7 DESTINATION ${CMAKE_INSTALL_MANDIR}/man7)
    set_property(GLOBAL PROPERTY chimewell_addon_page_installed TRUE)
  endif()
endfunction()
