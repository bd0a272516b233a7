# What `cmake --install` puts where, and the Debian packages that CPack
# makes of it: imageadjust (the station) and imageadjust-sim (the simulated
# driver library, in a folder of its own; a line PC goes without it and
# takes the camera maker's library instead). Nothing of the tests or the
# benchmark is installed.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME station)

foreach(program imageadjust imageadjust-line imageadjust-history)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT station)
  endif()
endforeach()
if(TARGET LvxStor)
  install(TARGETS LvxStor LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/imageadjust/sim COMPONENT sim)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/res/STD.DAT ${CMAKE_SOURCE_DIR}/res/HISTORY.INI
        DESTINATION ${CMAKE_INSTALL_DATADIR}/imageadjust COMPONENT station)
install(FILES ${CMAKE_SOURCE_DIR}/res/icon/icon_128.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME imageadjust.png COMPONENT station)
install(FILES ${CMAKE_SOURCE_DIR}/res/imageadjust.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT station)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME imageadjust)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ImageAdjust station developers <imageadjust@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "W73 camera adjustment and inspection station")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL station sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # imageadjust_1.02_amd64.deb
set(CPACK_DEBIAN_STATION_PACKAGE_NAME imageadjust)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME imageadjust-sim)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link come from dpkg-shlibdeps; beside them
# what they load or show at run time: Qt's X platform plugin and a font
# with the station's Japanese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_STATION_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_STATION_PACKAGE_SUGGESTS "imageadjust-sim")
set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS "imageadjust (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_STATION_DESCRIPTION
    "W73 camera adjustment and inspection station\n The station program, the headless line run, the history command, the sample\n standards file, manual pages and the guide.")
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "Simulated W73 camera for the ImageAdjust station\n A driver library with a simulated camera on a simulated bench, for demos,\n training and rehearsal. Not for a line PC, which uses the camera maker's library.")
include(CPack)
