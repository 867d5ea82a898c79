# The Windows build: the Qt and MinGW run-time libraries beside the programs, so that the installed
# folder runs on a Windows machine with nothing else installed; its ZIP and installer; and, when
# cross-built, the tests run under Wine.

get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT qt_core_dll)
    get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(qt_bin_dir ${qt_core_dll} DIRECTORY)
get_filename_component(qt_prefix ${qt_bin_dir} DIRECTORY)
set(qt_plugin_dir ${qt_prefix}/plugins)

# MinGW's own run-time DLLs: found through the compiler, so any MinGW install serves.
set(mingw_runtime_dlls)
foreach(dll libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(found ${found} REALPATH)
    list(APPEND mingw_runtime_dlls ${found})
endforeach()

install(FILES ${qt_bin_dir}/Qt6Core.dll ${qt_bin_dir}/Qt6Gui.dll ${qt_bin_dir}/Qt6Widgets.dll
              ${mingw_runtime_dlls}
        DESTINATION ${HIDEAWAY_PROGRAM_DIR})
# The desktop's platform, and offscreen for a run without one (`-platform offscreen`).
install(FILES ${qt_plugin_dir}/platforms/qwindows.dll ${qt_plugin_dir}/platforms/qoffscreen.dll
        DESTINATION ${HIDEAWAY_PROGRAM_DIR}/platforms)
install(FILES ${qt_plugin_dir}/styles/qwindowsvistastyle.dll
        DESTINATION ${HIDEAWAY_PROGRAM_DIR}/styles)

install(FILES docs/user-guide.md docs/simulated-phone.md LICENSE DESTINATION doc)

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_FILE_NAME Hideaway100K-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Hideaway100K)
set(CPACK_PACKAGE_EXECUTABLES hideaway100k Hideaway100K)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME Hideaway100K)
set(CPACK_NSIS_PACKAGE_NAME Hideaway100K)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
include(HideawayWindowsResources)
hideaway_nsis_finish()

if(CMAKE_CROSSCOMPILING)
    # Each test runs under Wine, in a Wine prefix of the build's own, so that nothing reaches the
    # home of whoever runs the suite; Qt's and MinGW's DLLs are found through WINEPATH.
    set(mingw_dirs)
    foreach(dll IN LISTS mingw_runtime_dlls)
        get_filename_component(dir ${dll} DIRECTORY)
        list(APPEND mingw_dirs ${dir})
    endforeach()
    list(REMOVE_DUPLICATES mingw_dirs)
    string(REPLACE ";" "|" wine_path "${qt_bin_dir};${mingw_dirs}")
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/windows/wine-run.sh ${CMAKE_BINARY_DIR}/wine ${wine_path})
    # Qt's offscreen platform on Windows takes its fonts from one folder, not from the system;
    # the build machine's Liberation faces stand in there for the desktop's.
    set(HIDEAWAY_TEST_ENVIRONMENT "QT_QPA_FONTDIR=/usr/share/fonts/truetype/liberation")
endif()
