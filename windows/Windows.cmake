# Windows only: what makes velunaria.aex self-contained, and the driver that proves it.
#
# The host loads the .aex with nothing beside it, so the C++ runtime, libgcc and winpthread
# (which std::thread needs in the POSIX-threads toolchain) are linked in statically; what
# is left are imports from system DLLs. The driver is linked the same way so that it runs
# under Wine without MinGW's DLLs on its path.
set(static_runtime -static-libgcc -static-libstdc++ -static)
target_link_options(${plugin_target} PRIVATE ${static_runtime})

add_executable(aex_driver aex_driver.cpp expected_pipl.cpp)
target_link_libraries(aex_driver PRIVATE velunary_plugin_session)
target_link_options(aex_driver PRIVATE ${static_runtime})
add_dependencies(aex_driver ${plugin_target})
velunary_warnings(aex_driver)

# The download: the .aex exactly as the checks above verify it, and how to install it.
install(TARGETS ${plugin_target} LIBRARY DESTINATION . RUNTIME DESTINATION .)
configure_file(INSTALL.txt ${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt DESTINATION .)
