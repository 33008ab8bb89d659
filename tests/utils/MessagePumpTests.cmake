# The pump waits for posts from other threads: run by the ThreadSanitizer build too.
mavrix_add_test(utils_message_pump_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MessagePumpTest.cpp
  LIBS mavrix_utils_ui
  LABELS threaded)
