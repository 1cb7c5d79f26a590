# Third-party libraries, all from Debian packages (scripts/deps.sh).
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(fmt REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n data)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo cairo)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZBAR REQUIRED IMPORTED_TARGET zbar)
find_path(ASIO_INCLUDE_DIR asio.hpp REQUIRED)

# Everything the library links privately, in one interface target.
# Asio is header-only and used only inside the library's own sources, so it
# stays out of the installed interface.
add_library(veltrix_deps INTERFACE)
target_include_directories(veltrix_deps INTERFACE $<BUILD_INTERFACE:${ASIO_INCLUDE_DIR}>)
target_compile_definitions(veltrix_deps INTERFACE
  $<BUILD_INTERFACE:ASIO_STANDALONE> $<BUILD_INTERFACE:ASIO_NO_DEPRECATED>)
target_link_libraries(veltrix_deps INTERFACE
  OpenSSL::Crypto OpenSSL::SSL ICU::uc ICU::i18n ICU::data
  PkgConfig::SQLITE3 PkgConfig::CURL PkgConfig::QRENCODE PkgConfig::PANGOCAIRO PkgConfig::PNG
  PkgConfig::ZBAR Threads::Threads)
