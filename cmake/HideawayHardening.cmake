# Debian's hardening flags, as dpkg-buildflags gives them with every hardening feature on: the
# stack protector, fortified C library calls, format checks, and relocations resolved and made
# read-only at start (BIND_NOW). They reach every target of ours through hideaway_warnings, so the
# static libraries inside a program are hardened as much as the program itself.

if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
    find_program(DPKG_BUILDFLAGS_EXECUTABLE dpkg-buildflags)
endif()
# The sanitizers bring their own checks, which fortified calls would bypass.
if(DPKG_BUILDFLAGS_EXECUTABLE AND NOT HIDEAWAY_SANITIZE)
    set(hardening_default ON)
else()
    set(hardening_default OFF)
endif()
option(HIDEAWAY_DEBIAN_HARDENING "Build with Debian's hardening flags (from dpkg-buildflags)"
       ${hardening_default})

if(HIDEAWAY_DEBIAN_HARDENING)
    if(NOT DPKG_BUILDFLAGS_EXECUTABLE)
        message(FATAL_ERROR "HIDEAWAY_DEBIAN_HARDENING needs dpkg-buildflags (Debian's dpkg-dev)")
    endif()
    # The build type keeps choosing optimisation and debug information, and the paths in the
    # debug information stay absolute so a debugger finds the sources of this build tree.
    function(hideaway_get_buildflags name out)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env
                    "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath,-fixdebugpath"
                    "DEB_${name}_MAINT_STRIP=-g -O2"
                    ${DPKG_BUILDFLAGS_EXECUTABLE} --get ${name}
            OUTPUT_VARIABLE flags
            OUTPUT_STRIP_TRAILING_WHITESPACE
            COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        set(${out} "${flags}" PARENT_SCOPE)
    endfunction()
    hideaway_get_buildflags(CPPFLAGS hardening_cppflags)
    hideaway_get_buildflags(CFLAGS hardening_cflags)
    hideaway_get_buildflags(CXXFLAGS hardening_cxxflags)
    hideaway_get_buildflags(LDFLAGS hardening_ldflags)

    # Fortified calls need an optimised build; a debug build would only warn about them.
    set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    set(c_flags ${hardening_cppflags} ${hardening_cflags})
    set(cxx_flags ${hardening_cppflags} ${hardening_cxxflags})
    target_compile_options(hideaway_warnings INTERFACE
        "$<$<AND:$<COMPILE_LANGUAGE:C>,${optimised}>:${c_flags}>"
        "$<$<AND:$<COMPILE_LANGUAGE:CXX>,${optimised}>:${cxx_flags}>")
    target_link_options(hideaway_warnings INTERFACE ${hardening_ldflags})
    list(JOIN hardening_cppflags " " shown_cppflags)
    list(JOIN hardening_cxxflags " " shown_cxxflags)
    list(JOIN hardening_ldflags " " shown_ldflags)
    message(STATUS "Hardening with Debian's flags: ${shown_cppflags} ${shown_cxxflags} "
                   "${shown_ldflags}")
endif()
