# Where a till's installation puts things, in four components: `host` (the host stand-in
# libraries the plug-in and the tills link, in a private library folder, and the host's
# catalogue), `plugin` (the plug-in, its catalogue and its configuration, in the host's
# pay-systems directory), `sandbox` (the stand-alone local service) and `till` (the
# command-line till; tillgui/ adds the cashier's screen).
include(GNUInstallDirs)

set(VELMOR_PAYSYSTEMS_DIR "/mervale/cash/paysystems/" CACHE STRING
    "The host's pay-systems directory: the plug-in reads velmor/velmor.ini under it")
# The code appends "velmor/velmor.ini" without a separator.
set(_velmor_paysystems "${VELMOR_PAYSYSTEMS_DIR}")
if(NOT _velmor_paysystems MATCHES "/$")
    string(APPEND _velmor_paysystems "/")
endif()
set(VELMOR_PLUGIN_INSTALL_DIR "${_velmor_paysystems}velmor" CACHE STRING
    "Where libvelmor.so and its catalogue are installed")
set(VELMOR_TILL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/velmor-till" CACHE STRING
    "The till's private library folder, relative to the prefix")
set(VELMOR_TILL_DATADIR "${CMAKE_INSTALL_DATADIR}/velmor-till" CACHE STRING
    "The till's data (the host's catalogue), relative to the prefix")
set(_velmor_full_libdir "${CMAKE_INSTALL_PREFIX}/${VELMOR_TILL_LIBDIR}")

# The installed till keeps its queue where Debian keeps state; the packages make the directory
# root:velmor, setgid and group-writable, so that every till user in group velmor shares it.
set(VELMOR_STATE_DIR "/var/lib/velmor" CACHE STRING
    "The installed till's state directory: its queue is queue.sqlite there")
# The plug-in's journal lives there too when installed (velmor::Journal::defaultPath).
target_compile_definitions(velmorclient PRIVATE VELMOR_STATE_DIR="${VELMOR_STATE_DIR}")

target_compile_definitions(processing PRIVATE VELMOR_PAYSYSTEMS_DIR="${_velmor_paysystems}")
if(TARGET testsupport)
    target_compile_definitions(testsupport PRIVATE VELMOR_PAYSYSTEMS_DIR="${_velmor_paysystems}")
endif()
if(TARGET tillhost)
    target_compile_definitions(tillhost PRIVATE
        VELMOR_INSTALLED_PLUGIN="${VELMOR_PLUGIN_INSTALL_DIR}/libvelmor.so"
        VELMOR_INSTALLED_QUEUE="${VELMOR_STATE_DIR}/queue.sqlite"
        VELMOR_PAYSYSTEMS_DIR="${_velmor_paysystems}"
        VELMOR_TILL_TRANSLATIONS_DIR="${CMAKE_INSTALL_PREFIX}/${VELMOR_TILL_DATADIR}/translations")
endif()

# The plug-in's metadata states its version; moc finds the file on the include path of every
# target that compiles the plug-in's header, all of which link the client.
configure_file(${CMAKE_CURRENT_LIST_DIR}/velmor.json.in ${CMAKE_BINARY_DIR}/metadata/velmor.json @ONLY)
target_include_directories(velmorclient PUBLIC $<BUILD_INTERFACE:${CMAKE_BINARY_DIR}/metadata>)

# The libraries the host provides are versioned; their SONAME carries the major version.
set_target_properties(host processing PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# The module exports what the host resolves (qt_plugin_instance, qt_plugin_query_metadata):
# its own code is built hidden, and what the static libraries bring in stays local.
set_target_properties(velmor PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_link_options(velmor PRIVATE
    -Wl,--exclude-libs,ALL
    -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/velmor.map)
set_property(TARGET velmor APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/velmor.map)

# Installed binaries find our libraries through RUNPATH relative to themselves.
file(RELATIVE_PATH _velmor_bin_to_lib "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}" "${_velmor_full_libdir}")
file(RELATIVE_PATH _velmor_plugin_to_lib "${VELMOR_PLUGIN_INSTALL_DIR}" "${_velmor_full_libdir}")
if(TARGET till)
    set_target_properties(till PROPERTIES INSTALL_RPATH "$ORIGIN/${_velmor_bin_to_lib}")
    # The stand-alone service links none of the host's libraries; only a shared sandbox library
    # would sit in the private folder.
    get_target_property(_velmor_sandbox_type sandbox TYPE)
    if(_velmor_sandbox_type STREQUAL "SHARED_LIBRARY")
        set_target_properties(velmor-sandbox PROPERTIES INSTALL_RPATH "$ORIGIN/${_velmor_bin_to_lib}")
    endif()
endif()
if(TARGET till-gui)
    set_target_properties(till-gui PROPERTIES INSTALL_RPATH "$ORIGIN/${_velmor_bin_to_lib}")
endif()
set_target_properties(processing PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(velmor PROPERTIES INSTALL_RPATH "$ORIGIN/${_velmor_plugin_to_lib}")

install(TARGETS velmor LIBRARY DESTINATION ${VELMOR_PLUGIN_INSTALL_DIR} COMPONENT plugin)
install(FILES ${VELMOR_PLUGIN_CATALOGUES} DESTINATION ${VELMOR_PLUGIN_INSTALL_DIR}/translations
        COMPONENT plugin)
# The configuration lives under /etc (the sysconfdir), where a till keeps the files an
# administrator edits; the plug-in reads it through a link where the host has it look. It holds
# the service's credentials, so it is the till's own file, never a package's: the package ships
# its template under /usr/share (VelmorPackage.cmake) and velmor-plugin's postinst makes the file
# from it, readable by root and the host's group only, when it is missing. An upgrade then never
# compares an edited file with a new template, and never asks.
set(VELMOR_CONFIG_FILE "${CMAKE_INSTALL_FULL_SYSCONFDIR}/velmor/velmor.ini")
set(VELMOR_SHARE_DIR "${CMAKE_INSTALL_FULL_DATADIR}/velmor")
set(VELMOR_CONFIG_TEMPLATE "${VELMOR_SHARE_DIR}/velmor.ini")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/link)
file(CREATE_LINK ${VELMOR_CONFIG_FILE} ${CMAKE_BINARY_DIR}/packaging/link/velmor.ini SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/link/velmor.ini DESTINATION ${_velmor_paysystems}velmor
        COMPONENT plugin)

if(TARGET till)
    install(TARGETS till RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT till)
    install(TARGETS velmor-sandbox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sandbox)
    if(_velmor_sandbox_type STREQUAL "SHARED_LIBRARY")
        install(TARGETS sandbox LIBRARY DESTINATION ${VELMOR_TILL_LIBDIR} COMPONENT sandbox
                NAMELINK_SKIP)
    endif()
endif()
install(TARGETS host processing
        LIBRARY DESTINATION ${VELMOR_TILL_LIBDIR} COMPONENT host NAMELINK_SKIP)
install(FILES ${VELMOR_HOST_CATALOGUES} DESTINATION ${VELMOR_TILL_DATADIR}/translations
        COMPONENT host)
