# Every dependency comes from Debian's packages.
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
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
