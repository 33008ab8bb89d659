# Child processes, command-line splitting and account queries (included by platform/CMakeLists.txt).
target_sources(mavrix_platform PRIVATE CommandLine.cpp FileDescriptor.cpp Process.cpp Accounts.cpp)
