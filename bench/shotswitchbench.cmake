# Time from a navigation click to the viewer's filled table, against a bare
# model fill of the same size.
add_executable(shotswitchbench ${CMAKE_CURRENT_LIST_DIR}/shotswitchbench.cpp)
target_link_libraries(shotswitchbench PRIVATE BrowseFBFileDialogs Qt5::Widgets)
