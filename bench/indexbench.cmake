# indexbench: the shot-index scan against memcpy, plain 1 MiB reads and the
# literal per-record seek+read scan, on a generated file of about 1 GB.
add_executable(indexbench ${CMAKE_CURRENT_LIST_DIR}/indexbench.cpp)
target_link_libraries(indexbench PRIVATE FbToolLib BrowseFBFileCore Qt5::Core)
