# Installation: the program and its man page, the static library with its one
# header, a CMake package (find_package(trakvol 2.0 CONFIG) -> trakvol::trakvol),
# a pkg-config file, and a Debian package through CPack.
include(CMakePackageConfigHelpers)

install(TARGETS floppeek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/doc/floppeek.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS trakvol EXPORT trakvolTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trakvol)

set(trakvol_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/trakvol)
install(EXPORT trakvolTargets NAMESPACE trakvol:: DESTINATION ${trakvol_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/trakvolConfig.cmake.in
  ${PROJECT_BINARY_DIR}/trakvolConfig.cmake INSTALL_DESTINATION ${trakvol_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/trakvolConfigVersion.cmake
  VERSION ${TRAKVOL_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/trakvolConfig.cmake
              ${PROJECT_BINARY_DIR}/trakvolConfigVersion.cmake
        DESTINATION ${trakvol_cmake_dir})

# The prefix is found from the .pc file's own place, so any install prefix works.
file(RELATIVE_PATH pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${PROJECT_SOURCE_DIR}/packaging/trakvol.pc.in ${PROJECT_BINARY_DIR}/trakvol.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/trakvol.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME floppeek)
set(CPACK_PACKAGE_VENDOR "floppeek developers")
set(CPACK_PACKAGE_CONTACT "floppeek developers <floppeek@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# libcrypto, for the MD5 digest, lives in libssl3 on Debian 12.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libssl3 (>= 3.0.0)")
include(CPack)
