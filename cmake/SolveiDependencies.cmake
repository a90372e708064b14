# Every dependency comes from Debian's packages.
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
# Qt's test library writes the build and source folders of each test into its compile line;
# no test here looks files up by them, and as absolute paths they keep the compiler cache from
# reusing a test's objects in another checkout of the project.
set_property(TARGET Qt6::Test PROPERTY INTERFACE_COMPILE_DEFINITIONS QT_TESTLIB_LIB)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(prometheus-cpp CONFIG REQUIRED)

# libasio-dev ships no CMake package: find the header and use asio standalone.
find_path(ASIO_INCLUDE_DIR asio.hpp REQUIRED)
add_library(solvei_asio INTERFACE)
target_include_directories(solvei_asio SYSTEM INTERFACE ${ASIO_INCLUDE_DIR})
target_compile_definitions(solvei_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(solvei_asio INTERFACE Threads::Threads)

if(SOLVEI_TESTS)
    find_package(GTest REQUIRED)
endif()
if(SOLVEI_BENCH)
    find_package(benchmark REQUIRED)
endif()

# The exporter's web configuration: TLS through OpenSSL, the file in YAML (libyaml), bcrypt
# hashes through the system's crypt (libxcrypt).
find_package(OpenSSL REQUIRED)
find_path(YAML_INCLUDE_DIR yaml.h REQUIRED)
find_library(YAML_LIBRARY yaml REQUIRED)
add_library(solvei_yaml INTERFACE)
target_include_directories(solvei_yaml SYSTEM INTERFACE ${YAML_INCLUDE_DIR})
target_link_libraries(solvei_yaml INTERFACE ${YAML_LIBRARY})
find_path(CRYPT_INCLUDE_DIR crypt.h REQUIRED)
find_library(CRYPT_LIBRARY crypt REQUIRED)
add_library(solvei_crypt INTERFACE)
target_include_directories(solvei_crypt SYSTEM INTERFACE ${CRYPT_INCLUDE_DIR})
target_link_libraries(solvei_crypt INTERFACE ${CRYPT_LIBRARY})
