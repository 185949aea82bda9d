# The Debian packages of `make package` (CPack DEB, one package per install
# component). Everything a package needs besides its files is set here: the
# names, dependencies, descriptions, and under /usr/share/doc/<package> the
# machine-readable copyright file and the gzipped Debian changelog.
set(Q6_DEB_MAINTAINER "q6fd maintainers <q6fd-maintainers@example.org>")
set(Q6_DEB_RELEASE 1)
set(Q6_DEB_VERSION "${PROJECT_VERSION}-${Q6_DEB_RELEASE}")
string(TIMESTAMP Q6_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# The Python module is built for one interpreter version (its file name says
# cpython-3XY): the package depends on exactly that version.
# Without pybind11 there is no module and no python3-q6fdmgr package.
set(Q6_DEB_COMPONENTS runtime dev cli)
if(TARGET q6fdmgr_py)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  math(EXPR Q6_PY_NEXT_MINOR "${Python3_VERSION_MINOR} + 1")
  set(Q6_PY_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${Q6_PY_NEXT_MINOR})")
  list(APPEND Q6_DEB_COMPONENTS python)
endif()

set(Q6_DEB_DIR ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${Q6_DEB_DIR}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${Q6_DEB_DIR}/changelog @ONLY)
# gzip -n: no name or time stamp in the archive, so the file is reproducible.
execute_process(COMMAND gzip -9nc ${Q6_DEB_DIR}/changelog
                OUTPUT_FILE ${Q6_DEB_DIR}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)

# component -> package; the copyright and changelog go with every package
# (only when packaging: EXCLUDE_FROM_ALL keeps them out of a plain install).
set(Q6_DEB_PACKAGES runtime=libq6fd1 dev=libq6fd-dev cli=q6fd python=python3-q6fdmgr)
foreach(pair ${Q6_DEB_PACKAGES})
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  string(TOUPPER ${component} COMP)
  set(CPACK_DEBIAN_${COMP}_PACKAGE_NAME ${package})
  install(FILES ${Q6_DEB_DIR}/copyright ${Q6_DEB_DIR}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${Q6_DEB_COMPONENTS})
set(CPACK_PACKAGE_NAME q6fd)
set(CPACK_PACKAGE_VENDOR "q6fd")
set(CPACK_PACKAGE_CONTACT "${Q6_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${Q6_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE q6fd)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://q6fd.example.org/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The DEB generator strips the binaries itself (objcopy --strip-unneeded)
# after copying their debugging information into the -dbgsym package; a
# CPACK_STRIP_FILES before it would leave nothing to copy.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)

set(Q6_DEB_SAME "(= ${Q6_DEB_VERSION})")
set(Q6_DEB_LIBC "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${Q6_DEB_LIBC}, libsqlite3-0 (>= 3.35), libpq5")
# The shlibs file names the libraries' SONAMEs for dpkg-shlibdeps of their
# users; the ldconfig trigger refreshes the loader's cache once per dpkg run
# (CPack's postinst and postrm call ldconfig as well: harmless).
# (The Python module has no SONAME, so CPack leaves it out with a warning.)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "fund-management data objects - shared libraries
The component's five classes (data manager, query manager, lock manager,
log manager and OID manager) over an ADO-style data layer that reaches
SQLite (embedded, the default) and PostgreSQL databases, with their entity
objects and the automation runtime they are called through.

This package holds the shared libraries: libq6runtime, libq6adodb,
libq6fdeso, libq6services and libq6fdmgr.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libq6fd1 ${Q6_DEB_SAME}")
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "pkg-config, cmake")
set(CPACK_DEBIAN_DEV_DESCRIPTION "fund-management data objects - development files
The component's five classes (data manager, query manager, lock manager,
log manager and OID manager) over an ADO-style data layer that reaches
SQLite and PostgreSQL databases, for C++20 programs.

This package holds the public headers (<q6fd/q6fd.h>), the CMake package
(find_package(q6fd CONFIG)), the pkg-config file and the links to build
against the shared libraries.")

set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
# libcpp-httplib0.11: the web console (q6fd serve).
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "${Q6_DEB_LIBC}, libq6fd1 ${Q6_DEB_SAME}, libcpp-httplib0.11")
set(CPACK_DEBIAN_CLI_DESCRIPTION "fund-management data objects - command-line program
The q6fd program sets up a demonstration data source, imports table scripts
and bulk exports, lists and calls the registered classes by name, reads
entity records and OID counters, and shows, takes and releases locks, on
SQLite and PostgreSQL data sources. Output is text, JSON or CSV.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "${Q6_DEB_LIBC}, libq6fd1 ${Q6_DEB_SAME}, ${Q6_PY_DEPENDS}")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "fund-management data objects - Python 3 module
The q6fdmgr module creates the component's classes and the data layer's
objects by name and calls their methods and properties from Python, with
automation values converted to and from Python values.

This package holds the module for Python ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}.")

include(CPack)
