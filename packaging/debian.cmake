# Three Debian packages from one install: vant (programs, shared library,
# scenarios, pages, completion, unit), vant-dev (headers, static library,
# CMake and pkg-config files) and vant-web (the web page, its CGI, lighttpd's
# snippet and the daemons' grant). scripts/package builds them.
set(vendor "vant developers")
set(contact "vant developers <vant-dev@lists.example.org>")

# Debian wants a copyright file and, for a package without a Debian revision,
# a changelog in each package's documentation folder.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(package_component vant:runtime vant-dev:development vant-web:web)
  string(REPLACE ":" ";" pair ${package_component})
  list(GET pair 0 package)
  list(GET pair 1 component)
  set(doc ${CMAKE_CURRENT_BINARY_DIR}/doc/${package})
  configure_file(debian/changelog.in ${doc}/changelog @ONLY)
  add_custom_command(OUTPUT ${doc}/changelog.gz
    COMMAND gzip -9nf ${doc}/changelog -c > ${doc}/changelog.gz
    DEPENDS ${doc}/changelog VERBATIM)
  list(APPEND changelogs ${doc}/changelog.gz)
  install(FILES debian/copyright ${doc}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()
add_custom_target(vant_changelogs ALL DEPENDS ${changelogs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vant)
set(CPACK_PACKAGE_VENDOR ${vendor})
set(CPACK_PACKAGE_CONTACT ${contact})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development web)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME vant)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The dynamic linker's cache is refreshed by dpkg's ldconfig trigger; the
# maintainer scripts tell a running systemd about the unit, stop its
# instances before a removal and restart them after an upgrade.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "cellular modem control for embedded Linux routers over QMI
vantctl locks the radio of a cellular modem to a WCDMA channel, an LTE
channel pair or one LTE cell, reads the modem's cell location report and
scans for operators. It talks to the SDK daemon vantsdk, which owns the
modem's QMI control channel and serves up to three client processes; the
systemd unit vantsdk@.service runs one daemon per modem index. vant does
the same for scripts, with JSON output, and watches the serving cell.

The package also holds the QMI modem emulator vantsim with its scenarios,
and the shared client library libvantsdk.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME vant-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "vant (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "cellular modem control for embedded Linux routers - development files
The headers of the vant client library, with which programs start and talk
to the SDK daemon vantsdk and send network-access requests to the modem,
its static library, the CMake package vantsdk (target vantsdk::client) and
the pkg-config file vantsdk.pc.")

set(CPACK_DEBIAN_WEB_PACKAGE_NAME vant-web)
set(CPACK_DEBIAN_WEB_PACKAGE_SECTION net)
set(CPACK_DEBIAN_WEB_PACKAGE_DEPENDS "vant (= ${PROJECT_VERSION}), adduser")
set(CPACK_DEBIAN_WEB_PACKAGE_RECOMMENDS "lighttpd")
set(CPACK_DEBIAN_WEB_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/web/conffiles ${CMAKE_CURRENT_SOURCE_DIR}/debian/web/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/web/postrm)
set(CPACK_COMPONENT_WEB_DESCRIPTION
    "cellular modem control for embedded Linux routers - web page
A page for the router's admins: the modem's status and signal over time,
the cells it hears, cell, channel and band locks that the SDK daemon undoes
unless they are confirmed in time, and the operator scan. Its API is the
CGI program vant-cgi, which runs vant. The package adds the group vant,
which the daemons then serve, makes the CGI set-group-id to it for the web
server's user, and brings lighttpd's configuration (lighty-enable-mod
vant-web), which asks for basic authentication.")

include(CPack)
