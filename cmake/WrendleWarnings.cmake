# Warnings for our own targets (never for JUCE's sources).
add_library(wrendle_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(wrendle_warnings INTERFACE -Wall -Wextra)
elseif(MSVC)
    target_compile_options(wrendle_warnings INTERFACE /W4)
endif()
