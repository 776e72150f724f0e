# Installation in three parts, which are also the three Debian packages:
#   program      floppeek: the program, its man page and shell completion
#   runtime      libtrakvol2: the shared library libtrakvol.so.2
#   development  libtrakvol-dev: the header, the static library, the CMake package
#                (trakvol::trakvol shared, trakvol::trakvol_static) and trakvol.pc
# Paths follow GNUInstallDirs: with the prefix /usr on Debian, libraries go to the
# multiarch folder /usr/lib/<triplet>.
include(CMakePackageConfigHelpers)

set(package_version ${PROJECT_VERSION})
set(package_release 1)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc)

# Compressed as Debian wants them: the man page and each package's changelog.
find_program(GZIP_PROGRAM gzip REQUIRED)
# The man page names the version the project's one version gives.
configure_file(${PROJECT_SOURCE_DIR}/doc/floppeek.1 ${PROJECT_BINARY_DIR}/floppeek.1 @ONLY)
set(man_page ${PROJECT_BINARY_DIR}/floppeek.1.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_BINARY_DIR}/floppeek.1 > ${man_page}
  DEPENDS ${PROJECT_BINARY_DIR}/floppeek.1 VERBATIM)
set(compressed ${man_page})
foreach(package floppeek libtrakvol2 libtrakvol-dev)
  set(PACKAGE ${package})
  set(VERSION ${package_version}-${package_release})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
    ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian @ONLY)
  set(changelog ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian
            > ${changelog}
    DEPENDS ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian VERBATIM)
  list(APPEND compressed ${changelog})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

function(install_package_docs package component)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian.gz
          DESTINATION ${doc_dir}/${package} COMPONENT ${component})
endfunction()

# The program.
install(TARGETS floppeek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/floppeek.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME floppeek COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/_floppeek
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT program)
install_package_docs(floppeek program)

# The libraries.
install(TARGETS trakvol_shared EXPORT trakvolTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trakvol COMPONENT development)
install(TARGETS trakvol EXPORT trakvolTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trakvol COMPONENT development)
install_package_docs(libtrakvol2 runtime)
install_package_docs(libtrakvol-dev development)

set(trakvol_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/trakvol)
install(EXPORT trakvolTargets NAMESPACE trakvol:: DESTINATION ${trakvol_cmake_dir}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/trakvolConfig.cmake.in
  ${PROJECT_BINARY_DIR}/trakvolConfig.cmake INSTALL_DESTINATION ${trakvol_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/trakvolConfigVersion.cmake
  VERSION ${TRAKVOL_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/trakvolConfig.cmake
              ${PROJECT_BINARY_DIR}/trakvolConfigVersion.cmake
        DESTINATION ${trakvol_cmake_dir} COMPONENT development)

# The prefix is found from the .pc file's own place, so any install prefix works.
file(RELATIVE_PATH pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${PROJECT_SOURCE_DIR}/packaging/trakvol.pc.in ${PROJECT_BINARY_DIR}/trakvol.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/trakvol.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

# Three Debian packages; their library dependencies are read from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program runtime development)
set(CPACK_PACKAGE_NAME floppeek)
set(CPACK_PACKAGE_VENDOR "The floppeek developers")
set(CPACK_PACKAGE_VERSION ${package_version})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${package_release})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "floppeek developers <floppeek-dev@lists.floppeek.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://floppeek.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# floppeek's dependency on libtrakvol2 is found in the build's own library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/trakvol)
set(exact_version "${package_version}-${package_release}")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME floppeek)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
# The libraries the program loads only when a run needs them (dlopen() by SONAME:
# archives, XML DATs, CRC-32) are no NEEDED entries, so dpkg-shlibdeps cannot find
# them: they are listed here, and packaging/check_package.sh checks the list.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
    "libtrakvol2 (= ${exact_version}), libarchive13, libxml2, zlib1g")
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "inspect Commodore D64, D71, D81, D80, D82, G64, G71, NIB and NB2 disk images
 floppeek prints the directory of a Commodore floppy disk image as the drive
 shows it, a wide listing that checks and hashes every file's sector chain,
 the block availability map with per-sector error codes, a wildcard search,
 and a JSON record per image. It reads 1541 (D64), 1571 (D71), 1581 (D81),
 8050 (D80) and 8250 (D82) images, raw GCR track dumps (G64, G71) and
 nibtools raw dumps (NIB, NB2), and tapes, cartridges and loose files (T64,
 TAP, CRT, P00, PRG), single files, folders and whole trees
 of archives, shows names in Unicode and extracts files.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtrakvol2)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "read-only access to Commodore disk images (shared library)
 trakvol reads Commodore 1541 (D64), 1571 (D71), 1581 (D81), 8050 (D80) and
 8250 (D82) disk images and decodes G64, G71, NIB and NB2 raw track dumps
 held in memory: geometry, BAM, directory,
 file sector chains with their MD5, and the directory, BAM and search
 reports of floppeek. This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtrakvol-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtrakvol2 (= ${exact_version}), nettle-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "read-only access to Commodore disk images (development files)
 trakvol reads Commodore 1541 (D64), 1571 (D71), 1581 (D81), 8050 (D80) and
 8250 (D82) disk images and decodes G64, G71, NIB and NB2 raw track dumps
 held in memory. This package holds the C
 header, the static library, the CMake package (trakvol::trakvol,
 trakvol::trakvol_static) and the pkg-config file.")
include(CPack)
