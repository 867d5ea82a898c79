# The Debian package: `cpack -G DEB` in the build folder packs whatever `cmake --install` installs.

# Like `cmake --install`, cpack packs what the last build made instead of first checking every
# target, tests included, which takes longer than making the package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(HIDEAWAY_MAINTAINER "Hideaway100K developers <hideaway100k@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# On Unix the programs come with manual pages, a changelog, a copyright file and AppStream
# metadata. Debian wants the first two compressed, without a time stamp so that the package builds
# reproducibly.
set(package_dir ${CMAKE_BINARY_DIR}/packaging)
if(NOT WIN32)
    find_program(GZIP_EXECUTABLE gzip REQUIRED)
    function(hideaway_gzip_configured input output)
        configure_file(${input} ${package_dir}/${output} @ONLY)
        execute_process(COMMAND ${GZIP_EXECUTABLE} -9nf ${package_dir}/${output}
                        COMMAND_ERROR_IS_FATAL ANY)
    endfunction()
    hideaway_gzip_configured(${PROJECT_SOURCE_DIR}/packaging/changelog.in changelog)
    foreach(page hideaway100k.1 hideaway100k-cli.1)
        hideaway_gzip_configured(${PROJECT_SOURCE_DIR}/packaging/${page} ${page})
    endforeach()
    install(FILES ${package_dir}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${package_dir}/hideaway100k.1.gz ${package_dir}/hideaway100k-cli.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # Software centres of Linux desktops read this; a Windows folder has no use for it.
    set(metainfo io.github.hideaway100k.Hideaway100K.metainfo.xml)
    configure_file(${PROJECT_SOURCE_DIR}/desktop/${metainfo}.in ${package_dir}/${metainfo} @ONLY)
    install(FILES ${package_dir}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME hideaway100k)
set(CPACK_PACKAGE_VENDOR "Hideaway100K developers")
set(CPACK_PACKAGE_CONTACT "${HIDEAWAY_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hide up to five files on a Sony CMD-J5, J6, J7 or J70 phone")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(NOT CPACK_GENERATOR)
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Hideaway100K keeps up to five of your own files hidden on a Sony CMD-J5,
CMD-J6, CMD-J7 or CMD-J70 mobile phone connected to a serial port, each in
one of five NVM files that the phone's own menus never show. A slot takes a
file of up to 20990 bytes.

The package holds a simulated phone in place of the phone-link library of a
real one, so every button can be tried without a phone, and a bridge that
runs a real phone's 32-bit Windows library under Wine.")
# The window needs Qt's platform plugins, which Qt itself only recommends, and its layout fits only
# with the Liberation fonts, the metric twins of the faces it is drawn for: with other fonts its
# texts wrap and are cut. Qt's libraries come from the programs' links, at cpack time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)
# The Wine bridge runs a real phone's 32-bit GBP.dll; without Wine the programs still serve the
# simulated phone, so Wine is recommended, not required.
if(TARGET gbp_bridge)
    string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", wine, wine32")
endif()
if(NOT WIN32)
    find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
endif()
if(DPKG_SHLIBDEPS_EXECUTABLE)
    set(hideaway_packed_binaries
        "$<TARGET_FILE:hideaway100k>;$<TARGET_FILE:hideaway100k-cli>;$<TARGET_FILE:GBP>")
    if(TARGET gbp_bridge)
        string(APPEND hideaway_packed_binaries ";$<TARGET_FILE:gbp_bridge>")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/HideawayDebDepends.cmake.in
                   ${package_dir}/deb-depends.cmake.in @ONLY)
    file(GENERATE OUTPUT ${package_dir}/deb-depends.cmake
         INPUT ${package_dir}/deb-depends.cmake.in)
    set(CPACK_PROJECT_CONFIG_FILE ${package_dir}/deb-depends.cmake)
endif()

include(CPack)

if(BUILD_TESTING AND NOT WIN32)
    add_test(NAME package_contents
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/check_package.sh
                     ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR} ${HIDEAWAY_PROGRAM_DIR}
                     $<IF:$<BOOL:${HIDEAWAY_DEBIAN_HARDENING}>,hardened,unhardened>)
    set_tests_properties(package_contents PROPERTIES SKIP_RETURN_CODE 77)
endif()
