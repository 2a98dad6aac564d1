# `make package` (in the build directory) builds the Debian packages with CPack, one per
# install component: velmor-host (the host stand-in libraries, the group velmor and the state
# directory), velmor-plugin (the plug-in and its configuration), velmor-sandbox (the
# stand-alone local service) and velmor-till (the command-line till and the cashier's screen).
# A production till needs velmor-host and velmor-plugin. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for packages; the top Makefile's `package` target does.
set(VELMOR_PACKAGE_RELEASE "1" CACHE STRING
    "Debian revision of the packages (the part after the dash); raise it for a rebuild")
set(_velmor_version "${PROJECT_VERSION}-${VELMOR_PACKAGE_RELEASE}")
set(_velmor_maintainer "Velmor till developers <till-dev@velmor.invalid>")
set(_velmor_packaging ${CMAKE_BINARY_DIR}/packaging)
# The system group whose members read the configuration and write the state directory.
set(VELMOR_GROUP velmor)
# node_exporter's textfile directory on Debian (prometheus-node-exporter), where the metrics
# service of velmor-till writes the till's state.
set(VELMOR_TEXTFILE_DIR "/var/lib/prometheus/node-exporter" CACHE STRING
    "node_exporter's textfile directory, where velmor-metrics.service writes velmor.prom")
set(VELMOR_TEXTFILE_FILE "${VELMOR_TEXTFILE_DIR}/velmor.prom")

set(_velmor_components host plugin)
if(TARGET till)
    list(APPEND _velmor_components sandbox till)
endif()

# Each package's copyright and changelog, where Debian policy wants them.
string(TIMESTAMP _velmor_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(_component IN LISTS _velmor_components)
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

# The commands' manual pages, each in the package of its command.
set(_velmor_man_pages)
if(TARGET till)
    list(APPEND _velmor_man_pages till:till velmor-sandbox:sandbox)
endif()
if(TARGET till-gui)
    list(APPEND _velmor_man_pages till-gui:till)
endif()
foreach(_entry IN LISTS _velmor_man_pages)
    string(REPLACE ":" ";" _entry "${_entry}")
    list(GET _entry 0 _page)
    list(GET _entry 1 _component)
    # The pages name the installed paths, the group and the version from the variables above.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${_page}.1.in ${_velmor_packaging}/man/${_page}.1
                   @ONLY)
    set(_man ${_velmor_packaging}/man/${_page}.1.gz)
    add_custom_command(
        OUTPUT ${_man}
        COMMAND gzip -9n -c ${_velmor_packaging}/man/${_page}.1 > ${_man}
        DEPENDS ${_velmor_packaging}/man/${_page}.1)
    add_custom_target(velmor_man_${_page} ALL DEPENDS ${_man})
    install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${_component})
endforeach()

# What lintian reports and is so on purpose, each with its reason in the file: the plug-in's
# place in the host's pay-systems directory, outside the FHS hierarchy; the programs' fortified
# build that leaves no run-time check.
foreach(_component IN LISTS _velmor_components)
    set(_overrides ${PROJECT_SOURCE_DIR}/packaging/velmor-${_component}.lintian-overrides)
    if(EXISTS ${_overrides})
        install(FILES ${_overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
                RENAME velmor-${_component} COMPONENT ${_component})
    endif()
endforeach()

# The template of the configuration, stamped with the package's version so that each release's
# differs: velmor-plugin's postinst makes VELMOR_CONFIG_FILE from it when the file is missing.
file(READ ${PROJECT_SOURCE_DIR}/packaging/velmor.ini _velmor_template)
file(CONFIGURE OUTPUT ${_velmor_packaging}/template/velmor.ini
     CONTENT "; Made from ${VELMOR_CONFIG_TEMPLATE} of velmor-plugin ${_velmor_version}; upgrades leave this file as it is.\n${_velmor_template}"
     @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/velmor.ini)
install(FILES ${_velmor_packaging}/template/velmor.ini DESTINATION ${VELMOR_SHARE_DIR} COMPONENT plugin)

# Monitoring, with the till: a service and a timer that write `till metrics` every 5 minutes
# where Debian's prometheus-node-exporter reads text files, and the alert rules on what they write.
# Where the release's systemd wants packaged units (/lib/systemd/system on Debian 12,
# /usr/lib/systemd/system on Debian 13); systemd reads both on either.
# Without systemd's pkg-config file (systemd-dev on Debian 13), the release decides: Debian 12
# and older keep units under /lib, later ones under /usr/lib (lintian's aliased-location).
pkg_get_variable(_velmor_unit_dir systemd systemdsystemunitdir)
if(NOT _velmor_unit_dir)
    set(_velmor_unit_dir "/usr/lib/systemd/system")
    if(EXISTS /etc/os-release)
        file(STRINGS /etc/os-release _velmor_os_version REGEX "^VERSION_ID=")
        string(REGEX REPLACE "^VERSION_ID=\"?([0-9]+).*" "\\1" _velmor_os_version
                             "${_velmor_os_version}")
        if(_velmor_os_version MATCHES "^[0-9]+$" AND _velmor_os_version LESS_EQUAL 12)
            set(_velmor_unit_dir "/lib/systemd/system")
        endif()
    endif()
endif()
set(VELMOR_SYSTEMD_UNIT_DIR "${_velmor_unit_dir}" CACHE STRING
    "Where the packages' systemd units go")
if(TARGET till)
    set(VELMOR_TILL_BIN "${CMAKE_INSTALL_FULL_BINDIR}/till")
    configure_file(${PROJECT_SOURCE_DIR}/packaging/velmor-metrics.service.in
                   ${_velmor_packaging}/systemd/velmor-metrics.service @ONLY)
    install(FILES ${_velmor_packaging}/systemd/velmor-metrics.service
                  ${PROJECT_SOURCE_DIR}/packaging/velmor-metrics.timer
            DESTINATION ${VELMOR_SYSTEMD_UNIT_DIR} COMPONENT till)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/prometheus/velmor.rules.yml
            DESTINATION ${VELMOR_SHARE_DIR}/prometheus COMPONENT till)
endif()

# The maintainer scripts. velmor-plugin makes the configuration from its template and removes it
# on purge; velmor-host makes the group and the state directory (VELMOR_STATE_DIR) and removes
# the directory on purge; velmor-till removes the metrics file with itself.
set(VELMOR_PLUGIN_DIR_INSTALLED ${VELMOR_PLUGIN_INSTALL_DIR})
set(_velmor_scripts plugin.postinst plugin.postrm host.postinst host.postrm)
if(TARGET till)
    list(APPEND _velmor_scripts till.postinst till.prerm till.postrm)
endif()
foreach(_script IN LISTS _velmor_scripts)
    string(REPLACE "." "/" _output ${_script})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${_script}.in ${_velmor_packaging}/${_output} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmor")
set(CPACK_PACKAGE_CONTACT ${_velmor_maintainer})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${_velmor_components})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMOR_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${_velmor_maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plug-in and the tills link the host libraries that velmor-host carries in its private
# folder, which has no shlibs file: the dependency on velmor-host is stated below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
# Before this split the host libraries and velmor-sandbox were in velmor-till.
set(_velmor_from_till "velmor-till (<< ${_velmor_version})")

set(CPACK_DEBIAN_HOST_PACKAGE_NAME velmor-host)
set(CPACK_DEBIAN_HOST_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_HOST_PACKAGE_BREAKS ${_velmor_from_till})
set(CPACK_DEBIAN_HOST_PACKAGE_REPLACES ${_velmor_from_till})
set(CPACK_DEBIAN_HOST_PACKAGE_CONTROL_EXTRA
    ${_velmor_packaging}/host/postinst ${_velmor_packaging}/host/postrm)
set(CPACK_DEBIAN_HOST_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_HOST_DESCRIPTION "host libraries for the Velmor payment plug-in
The host services the Velmor payment plug-in calls: configuration, session,
persistent queue and HTTP client, with the host's message catalogue. The
package makes the system group velmor, whose members read the plug-in's
configuration, and the state directory /var/lib/velmor they share.")

set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME velmor-plugin)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_DEPENDS "velmor-host (= ${_velmor_version})")
set(CPACK_DEBIAN_PLUGIN_PACKAGE_CONTROL_EXTRA
    ${_velmor_packaging}/plugin/postinst ${_velmor_packaging}/plugin/postrm)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_PLUGIN_DESCRIPTION "instalment payments through the Velmor merchant service
A payment plug-in for the point-of-sale host: the buyer shows a QR code, the
cashier scans it, and the plug-in creates the order at the Velmor service and
follows it until its first instalment is paid. It refunds by receipt
positions and queues cancellations and refunds that got no answer.")

if(TARGET till)
    set(CPACK_DEBIAN_SANDBOX_PACKAGE_NAME velmor-sandbox)
    set(CPACK_DEBIAN_SANDBOX_PACKAGE_BREAKS ${_velmor_from_till})
    set(CPACK_DEBIAN_SANDBOX_PACKAGE_REPLACES ${_velmor_from_till})
    set(CPACK_COMPONENT_SANDBOX_DESCRIPTION "local stand-in for the Velmor merchant service
The Velmor service's order endpoints on the loopback interface, for trying a
till against: the buyer's code chooses the outcome of a sale, and faults can
be set on each endpoint.")

    set(CPACK_DEBIAN_TILL_PACKAGE_NAME velmor-till)
    set(_velmor_till_depends "velmor-host (= ${_velmor_version}), velmor-plugin (= ${_velmor_version})")
    # The till's demo embeds the sandbox library; a shared one is velmor-sandbox's.
    get_target_property(_velmor_sandbox_type sandbox TYPE)
    if(_velmor_sandbox_type STREQUAL "SHARED_LIBRARY")
        string(APPEND _velmor_till_depends ", velmor-sandbox (= ${_velmor_version})")
    else()
        set(CPACK_DEBIAN_TILL_PACKAGE_SUGGESTS "velmor-sandbox (= ${_velmor_version})")
    endif()
    set(CPACK_DEBIAN_TILL_PACKAGE_DEPENDS ${_velmor_till_depends})
    set(CPACK_DEBIAN_TILL_PACKAGE_CONTROL_EXTRA
        ${_velmor_packaging}/till/postinst ${_velmor_packaging}/till/prerm
        ${_velmor_packaging}/till/postrm)
    set(CPACK_DEBIAN_TILL_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_COMPONENT_TILL_DESCRIPTION "command-line till and cashier's screen for the Velmor plug-in
A command-line till (till) and a cashier's screen on Qt Widgets (till-gui)
that load the Velmor payment plug-in and play the point-of-sale host: sales,
refunds, cancellations, the queue, a check of the till's set-up and a demo
against an embedded local service.")
endif()

include(CPack)
