# Install rules shared by the programs of the project.
include(GNUInstallDirs)

# No installed binary needs a run path: the programs load libGBP by its full path beside them and
# find Qt where the system keeps its libraries, so the $ORIGIN entries that Qt's project setup adds
# go. A Qt outside the system's folders still lands in the run path of the binaries that link it.
set(CMAKE_INSTALL_RPATH "")
set(CMAKE_INSTALL_RPATH_USE_LINK_PATH ON)

# The programs load libGBP from their own folder first, so they and the library share one folder:
# on Unix a private one, with links where programs go; on Windows the top of the installed folder.
if(WIN32)
    set(HIDEAWAY_PROGRAM_DIR .)
else()
    set(HIDEAWAY_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/hideaway100k)
endif()

# hideaway_install_program(<target>)
# Installs the program <target> into the program folder and, on Unix, a relative link to it in the
# bin folder, so the program started through the link still finds libGBP beside itself.
function(hideaway_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${HIDEAWAY_PROGRAM_DIR})
    if(WIN32)
        return()
    endif()
    set(name $<TARGET_FILE_NAME:${target}>)
    file(RELATIVE_PATH program_dir_from_bin /prefix/${CMAKE_INSTALL_BINDIR}
         /prefix/${HIDEAWAY_PROGRAM_DIR})
    install(CODE "
        set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin}\")
        file(CREATE_LINK \"${program_dir_from_bin}/${name}\" \"\${bin}/${name}\" SYMBOLIC)
        message(STATUS \"Installing: \${bin}/${name} -> ${program_dir_from_bin}/${name}\")
    ")
endfunction()

# hideaway_export_plain_names(<target>)
# 32-bit Windows decorates the names of __stdcall calls (_InitGBPMode@4), while the phone-link
# library's callers look them up undecorated, as the vendor's library exports them. MinGW strips
# the decoration at link time; other compilers take the names from GBP.def.
function(hideaway_export_plain_names target)
    if(MINGW)
        target_link_options(${target} PRIVATE "LINKER:--kill-at")
    else()
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/sim/GBP.def)
    endif()
endfunction()
