# `make package` (in the build directory) builds two Debian packages with CPack:
# velmor-plugin (component plugin) and velmor-till (component till). Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for packages; the top Makefile's `package` target does.
set(VELMOR_PACKAGE_RELEASE "1" CACHE STRING
    "Debian revision of the packages (the part after the dash); raise it for a rebuild")
set(_velmor_version "${PROJECT_VERSION}-${VELMOR_PACKAGE_RELEASE}")
set(_velmor_maintainer "Velmor till developers <till-dev@velmor.invalid>")
set(_velmor_packaging ${CMAKE_BINARY_DIR}/packaging)

# Each package's copyright and changelog, where Debian policy wants them.
string(TIMESTAMP _velmor_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(_component plugin till)
    set(VELMOR_PACKAGE_NAME velmor-${_component})
    set(VELMOR_PACKAGE_VERSION ${_velmor_version})
    set(VELMOR_MAINTAINER ${_velmor_maintainer})
    set(VELMOR_DATE ${_velmor_date})
    set(_doc ${_velmor_packaging}/${_component}/doc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${_doc}/changelog.Debian @ONLY)
    add_custom_command(
        OUTPUT ${_doc}/changelog.Debian.gz
        COMMAND gzip -9nf -k ${_doc}/changelog.Debian
        DEPENDS ${_doc}/changelog.Debian
        VERBATIM)
    add_custom_target(velmor_changelog_${_component} ALL DEPENDS ${_doc}/changelog.Debian.gz)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${_doc}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmor-${_component} COMPONENT ${_component})
endforeach()

# The commands' manual pages.
foreach(_page till velmor-sandbox)
    set(_man ${_velmor_packaging}/man/${_page}.1.gz)
    add_custom_command(
        OUTPUT ${_man}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_velmor_packaging}/man
        COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/${_page}.1 > ${_man}
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${_page}.1)
    add_custom_target(velmor_man_${_page} ALL DEPENDS ${_man})
    install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT till)
endforeach()

# The host loads its plug-ins from its pay-systems directory, outside the FHS hierarchy.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmor-plugin.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velmor-plugin
        COMPONENT plugin)

# velmor.ini (VELMOR_CONFIG_FILE, under /etc) is the till's own once installed: a conffile
# that an upgrade keeps as edited and a purge removes, with what dpkg left beside it.
set(VELMOR_PLUGIN_DIR_INSTALLED ${VELMOR_PLUGIN_INSTALL_DIR})
configure_file(${PROJECT_SOURCE_DIR}/packaging/conffiles.in ${_velmor_packaging}/plugin/conffiles @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/postrm.in ${_velmor_packaging}/plugin/postrm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmor")
set(CPACK_PACKAGE_CONTACT ${_velmor_maintainer})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL plugin till)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMOR_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${_velmor_maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plug-in links the host libraries that velmor-till carries in its private folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)

set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME velmor-plugin)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_DEPENDS "velmor-till (= ${_velmor_version})")
set(CPACK_DEBIAN_PLUGIN_PACKAGE_CONTROL_EXTRA
    ${_velmor_packaging}/plugin/conffiles ${_velmor_packaging}/plugin/postrm)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_PLUGIN_DESCRIPTION "instalment payments through the Velmor merchant service
A payment plug-in for the point-of-sale host: the buyer shows a QR code, the
cashier scans it, and the plug-in creates the order at the Velmor service and
follows it until its first instalment is paid. It refunds by receipt
positions and queues cancellations and refunds that got no answer.")

set(CPACK_DEBIAN_TILL_PACKAGE_NAME velmor-till)
set(CPACK_COMPONENT_TILL_DESCRIPTION "command-line till and host libraries for the Velmor plug-in
The host services the Velmor payment plug-in calls (configuration, session,
persistent queue, HTTP client), a command-line till that loads the plug-in
and plays the point-of-sale host, and a local stand-in for the merchant
service (velmor-sandbox).")

include(CPack)
