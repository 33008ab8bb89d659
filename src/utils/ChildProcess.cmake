# Child processes and account queries (included by src/utils/CMakeLists.txt).
target_sources(mavrix_utils PRIVATE ChildProcess.cpp Accounts.cpp)
