# The short message pump of the window thread, apart from the rest of the utilities so that
# only code that has windows depends on the window layer.
add_library(mavrix_utils_ui STATIC ${CMAKE_CURRENT_LIST_DIR}/MessagePump.cpp)
target_include_directories(mavrix_utils_ui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(mavrix_utils_ui PUBLIC mavrix_platform_window)
