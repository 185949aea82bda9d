# What `cmake --install` puts into the prefix besides the libraries (see
# q6_library): the public headers, the program with its man page and bash
# completion, the Python module, a CMake package, a pkg-config file; and the
# Debian packages that `make package` builds from the same rules. Every path written into a file is
# relative to the file itself, so an installed prefix can be moved.
include(CMakePackageConfigHelpers)

include(${CMAKE_CURRENT_LIST_DIR}/public_headers.cmake)

q6_install_rpath(q6fd ${CMAKE_INSTALL_BINDIR})
install(TARGETS q6fd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
# The man page and bash completion the program writes from its command table
# (target q6fd_docs in src/cli).
install(FILES ${PROJECT_BINARY_DIR}/doc/q6fd.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT cli)
install(FILES ${PROJECT_BINARY_DIR}/doc/q6fd.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME q6fd COMPONENT cli)

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

# `make package`: four Debian packages under /usr from the components above,
# each with its copyright and changelog, stripped, with the debugging
# information in a -dbgsym package beside each:
#   libq6fd1         the shared libraries (component runtime)
#   libq6fd-dev      headers, CMake and pkg-config files, the .so links (dev)
#   q6fd             the program, its man page and bash completion (cli)
#   python3-q6fdmgr  the Python module (python)
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
