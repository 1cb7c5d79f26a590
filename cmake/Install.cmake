# Install rules: the library, its public headers, its resources, the tools,
# a CMake package (find_package(VeltrixConnect) gives VeltrixConnect::veltrix)
# and veltrix.pc for pkg-config.

include(CMakePackageConfigHelpers)

# The host's API: the headers an application includes. Everything they
# include is installed with them (the headers are self-contained and need
# only the standard library, fmt and nlohmann_json); the rest of src/ is the
# library's own and stays private.
set(VELTRIX_API_HEADERS
  veltrix/facade/retailer_manager.h
  veltrix/facade/retailer_setting_manager.h
  veltrix/facade/retailer_setting_manager_delegate.h
  veltrix/facade/scan_presenter.h
  veltrix/facade/facade_errors.h
  veltrix/builders/builders.h
  veltrix/registry/discover_manager_delegate.h
  veltrix/platform/dispatch.h
  veltrix/platform/clock.h
  veltrix/platform/paths.h
  veltrix/platform/log.h
  veltrix/platform/ui/view_controller.h
  veltrix/platform/ui/window.h)
file(GLOB VELTRIX_MODEL_HEADERS RELATIVE ${PROJECT_SOURCE_DIR}/src
     ${PROJECT_SOURCE_DIR}/src/veltrix/model/*.h)
file(GLOB VELTRIX_SCREEN_HEADERS RELATIVE ${PROJECT_SOURCE_DIR}/src
     ${PROJECT_SOURCE_DIR}/src/veltrix/ui/scan/*.h
     ${PROJECT_SOURCE_DIR}/src/veltrix/ui/settings/*.h)
list(APPEND VELTRIX_API_HEADERS ${VELTRIX_MODEL_HEADERS} ${VELTRIX_SCREEN_HEADERS})
set_property(GLOBAL PROPERTY VELTRIX_API_HEADERS ${VELTRIX_API_HEADERS})

# The headers `entries` include, directly or not, below src/veltrix.
function(veltrix_header_closure out)
  set(pending ${ARGN})
  set(seen)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST seen OR NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
      continue()
    endif()
    list(APPEND seen ${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/src/${header} lines REGEX "^#include \"veltrix/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      list(APPEND pending ${included})
    endforeach()
  endwhile()
  list(SORT seen)
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

veltrix_header_closure(VELTRIX_INSTALLED_HEADERS ${VELTRIX_API_HEADERS})
foreach(header IN LISTS VELTRIX_INSTALLED_HEADERS)
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/src/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir} COMPONENT devel)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/include/veltrix/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/veltrix COMPONENT devel)

install(TARGETS veltrix veltrix_deps EXPORT VeltrixConnectTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set_target_properties(veltrix_deps PROPERTIES EXPORT_NAME deps)

# Resources: the artwork (drawn at build time) and the services list, where
# the library looks for them beside its installed folders.
install(FILES ${PROJECT_SOURCE_DIR}/resources/tavio-services.plist
        DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrix)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/images
        DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrix
        FILES_MATCHING PATTERN "*.png")

foreach(tool veltrix-cli tavio-sim veltrix-gallery)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# CMake package.
set(VELTRIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VeltrixConnect)
install(EXPORT VeltrixConnectTargets NAMESPACE VeltrixConnect::
        DESTINATION ${VELTRIX_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeltrixConnectConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VeltrixConnectConfig.cmake
  INSTALL_DESTINATION ${VELTRIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeltrixConnectConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VeltrixConnectConfig.cmake
              ${PROJECT_BINARY_DIR}/VeltrixConnectConfigVersion.cmake
        DESTINATION ${VELTRIX_CMAKE_DIR})

# pkg-config: the prefix is found from the .pc file's own place, so the
# installed tree may move.
file(RELATIVE_PATH VELTRIX_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
# A static library needs its libraries at the application's link: they are
# required outright, so a plain `pkg-config --libs veltrix` links (with
# --static pkg-config would also ask for the static builds of their own
# private libraries, which a system seldom has). A shared one keeps them
# private.
set(VELTRIX_PC_DEPS "sqlite3 libcurl libqrencode pangocairo cairo libpng zbar libssl libcrypto icu-uc icu-i18n")
if(BUILD_SHARED_LIBS)
  set(VELTRIX_PC_REQUIRES "")
  set(VELTRIX_PC_REQUIRES_PRIVATE "${VELTRIX_PC_DEPS}")
  set(VELTRIX_PC_LIBS "")
else()
  set(VELTRIX_PC_REQUIRES "${VELTRIX_PC_DEPS}")
  set(VELTRIX_PC_REQUIRES_PRIVATE "")
  set(VELTRIX_PC_LIBS "-pthread")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/veltrix.pc.in ${PROJECT_BINARY_DIR}/veltrix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/veltrix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
