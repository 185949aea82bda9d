# What `cmake --install` puts into the prefix besides the libraries and their
# headers (see q6_library): the public headers, the program, the Python
# module, a CMake package, a pkg-config file; and the .deb that `make
# package` builds from the same rules. Every path written into a file is
# relative to the file itself, so an installed prefix can be moved.
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/q6fd/ DESTINATION ${Q6_INCLUDE_INSTALL_DIR}
  COMPONENT dev FILES_MATCHING PATTERN "*.h")

q6_install_rpath(q6fd ${CMAKE_INSTALL_BINDIR})
install(TARGETS q6fd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)

if(TARGET q6fdmgr_py)
  q6_install_rpath(q6fdmgr_py ${Q6_PYTHON_INSTALL_DIR})
  install(TARGETS q6fdmgr_py LIBRARY DESTINATION ${Q6_PYTHON_INSTALL_DIR} COMPONENT python)
  # Its Python submodules, in the folder its __path__ names.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/python/q6fdmgr/
    DESTINATION ${Q6_PYTHON_INSTALL_DIR}/q6fdmgr COMPONENT python FILES_MATCHING PATTERN "*.py")
endif()

# CMake package: find_package(q6fd 1.1 CONFIG) gives q6fd::q6fdmgr and the
# libraries below it.
install(EXPORT q6fdTargets NAMESPACE q6fd:: DESTINATION ${Q6_CMAKE_INSTALL_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/q6fdConfig.cmake.in
  ${PROJECT_BINARY_DIR}/q6fdConfig.cmake INSTALL_DESTINATION ${Q6_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/q6fdConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/q6fdConfig.cmake ${PROJECT_BINARY_DIR}/q6fdConfigVersion.cmake
  DESTINATION ${Q6_CMAKE_INSTALL_DIR} COMPONENT dev)

# pkg-config: the prefix is found from the .pc file's own folder.
file(RELATIVE_PATH Q6_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" Q6_PC_TO_PREFIX "${Q6_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/q6fd.pc.in ${PROJECT_BINARY_DIR}/q6fd.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/q6fd.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)

# `make package`: one .deb with all of the above, installed under /usr.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME q6fd)
set(CPACK_PACKAGE_VENDOR "q6fd")
set(CPACK_PACKAGE_CONTACT "q6fd maintainers <q6fd@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fund-management data objects: libraries, headers, the q6fd program and the Python module")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libsqlite3-0, libpq5, python3 (>= 3.11)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsqlite3-dev, libpq-dev, pkg-config, cmake")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
