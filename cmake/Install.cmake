# Installs headers, both libraries, a CMake package (find_package(kivocom) gives kivocom::kivocom)
# and a pkg-config file.
include(CMakePackageConfigHelpers)

install(DIRECTORY include/kivocom DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kivocom kivocom_shared EXPORT kivocomTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT kivocomTargets NAMESPACE kivocom:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kivocom)

configure_package_config_file(cmake/kivocomConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kivocom)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kivocomConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kivocom)

# The .pc file names its prefix relative to its own folder, so it holds wherever the tree is
# installed (cmake --install --prefix included).
file(RELATIVE_PATH KIVOCOM_PC_PREFIX_FROM_PCDIR "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
configure_file(cmake/kivocom.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kivocom.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kivocom.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
