# Every third-party dependency is a Debian package found through its normal interface
# (scripts/install-deps installs them). Imported targets are named Dep::<name>.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(GTest REQUIRED)

pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
pkg_check_modules(LIBSOUP REQUIRED IMPORTED_TARGET libsoup-3.0)
pkg_check_modules(UUID REQUIRED IMPORTED_TARGET uuid)

add_library(Dep::jsoncpp ALIAS PkgConfig::JSONCPP)
add_library(Dep::archive ALIAS PkgConfig::LIBARCHIVE)
add_library(Dep::gtk ALIAS PkgConfig::GTK3)
add_library(Dep::gio ALIAS PkgConfig::GIO)
add_library(Dep::soup ALIAS PkgConfig::LIBSOUP)
add_library(Dep::uuid ALIAS PkgConfig::UUID)

# stb_image ships as a header in Debian's libstb-dev.
find_path(STB_INCLUDE_DIR stb/stb_image.h REQUIRED)
add_library(Dep::stb INTERFACE IMPORTED)
target_include_directories(Dep::stb SYSTEM INTERFACE ${STB_INCLUDE_DIR})

# cpp-httplib serves the test servers and the demo service. Debian builds it as a shared
# library; its pkg-config module carries the library and the feature macros it was built with.
pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(Dep::httplib INTERFACE IMPORTED)
target_link_libraries(Dep::httplib INTERFACE PkgConfig::CPP_HTTPLIB OpenSSL::SSL OpenSSL::Crypto Threads::Threads)
