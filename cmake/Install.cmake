# SPDX-License-Identifier: MIT
# Installs headers, the libraries, the simulator library, a CMake package, pkg-config files and the
# Python package.
#
# find_package(kivocom) gives kivocom::kivocom (the shared library unless the build set
# BUILD_SHARED_LIBS off) and kivocom::simulator. The other variant, kivocom::kivocom_static or
# kivocom::kivocom_shared, and the static simulator library have targets files of their own, which
# the package loads only when that library is installed: distributions that ship no static
# libraries delete libkivocom.a and libkivocom_simulator.a and the package still loads.
include(CMakePackageConfigHelpers)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/kivocom)
install(DIRECTORY include/kivocom DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${KIVOCOM_PRIMARY_LIBRARY} EXPORT kivocomTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kivocom_simulator)
  install(TARGETS kivocom_simulator EXPORT kivocomSimulatorTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT kivocomSimulatorTargets NAMESPACE kivocom:: DESTINATION ${package_dir})
  set(KIVOCOM_SIMULATOR_LIBRARY_FILE
    ${CMAKE_INSTALL_LIBDIR}/${CMAKE_STATIC_LIBRARY_PREFIX}kivocom_simulator${CMAKE_STATIC_LIBRARY_SUFFIX})
endif()
# The shared simulator library serves programs in other languages through its C interface; C++
# programs use kivocom::simulator, so it is installed without a CMake target.
if(TARGET kivocom_simulator_shared)
  install(TARGETS kivocom_simulator_shared LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(TARGETS ${KIVOCOM_OTHER_LIBRARY} EXPORT kivocomOtherTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT kivocomTargets NAMESPACE kivocom:: DESTINATION ${package_dir})
if(KIVOCOM_OTHER_LIBRARY STREQUAL "kivocom")
  set(KIVOCOM_OTHER_TARGETS_FILE kivocomStaticTargets.cmake)
  set(KIVOCOM_OTHER_LIBRARY_FILE
    ${CMAKE_INSTALL_LIBDIR}/${CMAKE_STATIC_LIBRARY_PREFIX}kivocom${CMAKE_STATIC_LIBRARY_SUFFIX})
elseif(WIN32)
  set(KIVOCOM_OTHER_TARGETS_FILE kivocomSharedTargets.cmake)
  set(KIVOCOM_OTHER_LIBRARY_FILE ${CMAKE_INSTALL_LIBDIR}/libkivocom${CMAKE_IMPORT_LIBRARY_SUFFIX})
else()
  set(KIVOCOM_OTHER_TARGETS_FILE kivocomSharedTargets.cmake)
  set(KIVOCOM_OTHER_LIBRARY_FILE
    ${CMAKE_INSTALL_LIBDIR}/${CMAKE_SHARED_LIBRARY_PREFIX}kivocom${CMAKE_SHARED_LIBRARY_SUFFIX})
endif()
install(EXPORT kivocomOtherTargets NAMESPACE kivocom:: FILE ${KIVOCOM_OTHER_TARGETS_FILE}
  DESTINATION ${package_dir})

configure_package_config_file(cmake/kivocomConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfig.cmake
  INSTALL_DESTINATION ${package_dir}
  PATH_VARS KIVOCOM_OTHER_LIBRARY_FILE KIVOCOM_SIMULATOR_LIBRARY_FILE)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kivocomConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kivocomConfigVersion.cmake
  DESTINATION ${package_dir})

# The .pc files name their prefix relative to their own folder, so they hold wherever the tree is
# installed (cmake --install --prefix included).
file(RELATIVE_PATH KIVOCOM_PC_PREFIX_FROM_PCDIR "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
foreach(pc kivocom kivocom-simulator)
  configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Python package, where Debian's Python looks for packages under /usr (set another folder for
# another prefix or Python); it finds the libraries under the same prefix.
set(KIVOCOM_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
  "Folder under the prefix for the kivocom Python package")
install(DIRECTORY python/kivocom python/pyvisa_kivocom DESTINATION ${KIVOCOM_PYTHON_INSTALL_DIR}
  PATTERN __pycache__ EXCLUDE)
