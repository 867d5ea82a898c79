# hideaway_add_windows_resources(<target> <description>)
# Gives a Windows program what Windows programs carry: the icon, version information (product,
# version, licence) and an application manifest, compiled from hideaway100k.rc.in.
enable_language(RC)

function(hideaway_add_windows_resources target description)
    get_property(icon GLOBAL PROPERTY HIDEAWAY_WINDOWS_ICON)
    set(HIDEAWAY_RC_NAME ${target})
    set(HIDEAWAY_RC_DESCRIPTION "${description}")
    set(HIDEAWAY_RC_ICON ${icon})
    set(version ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
    foreach(part PROJECT_VERSION_PATCH PROJECT_VERSION_TWEAK)
        if("${${part}}" STREQUAL "")
            list(APPEND version 0)
        else()
            list(APPEND version ${${part}})
        endif()
    endforeach()
    string(REPLACE ";" "," HIDEAWAY_RC_VERSION_COMMAS "${version}")
    string(REPLACE ";" "." HIDEAWAY_RC_VERSION_DOTS "${version}")
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(HIDEAWAY_RC_MANIFEST ${dir}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/windows/hideaway100k.manifest ${HIDEAWAY_RC_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/windows/hideaway100k.rc.in ${dir}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${dir}/${target}.rc)
    # The icon is drawn at build time, before the resources are compiled.
    set_source_files_properties(${dir}/${target}.rc PROPERTIES
        OBJECT_DEPENDS "${icon};${HIDEAWAY_RC_MANIFEST}")
    add_dependencies(${target} hideaway_art)
endfunction()

# What the installer shows and leaves: the product on every page instead of NSIS's own name, the
# program's icon for the installer and for the uninstall entry, an offer to start the program on
# the last page, and no empty vendor key once the program is uninstalled. The package's vendor
# and registry key are set later, with the rest of the package; these are their values. CPack
# writes these into its configuration unescaped, so they are escaped twice here.
macro(hideaway_nsis_finish)
    # The line itself: CPack's CPACK_NSIS_BRANDING_TEXT always asks for a trimmed text, which the
    # Linux makensis refuses.
    set(CPACK_NSIS_BRANDING_TEXT_CODE "BrandingText \\\"Hideaway100K ${PROJECT_VERSION}\\\"")
    set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/art/pictures/hideaway100k.ico)
    set(CPACK_NSIS_MUI_UNIICON ${CMAKE_BINARY_DIR}/art/pictures/hideaway100k.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME hideaway100k.exe)
    set(CPACK_NSIS_MUI_FINISHPAGE_RUN hideaway100k.exe)
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
        "DeleteRegKey SHCTX \\\"Software\\\\Hideaway100K developers\\\\Hideaway100K\\\"
  DeleteRegKey /ifempty SHCTX \\\"Software\\\\Hideaway100K developers\\\"")
endmacro()
