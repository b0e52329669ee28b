# The fuzz configure's JUCE: juce_core alone, as the same `wrendle_juce` target
# the libraries link in the ordinary build, so the fuzzers drive the very state
# and news libraries the plug-in ships. Coverage instrumentation and
# AddressSanitizer reach everything (JUCE's XML parser included, so the fuzzer
# can find its way through it); UndefinedBehaviorSanitizer is added to our own
# libraries in tests/fuzz, where any report is a failure.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "WRENDLE_FUZZ needs clang: configure with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

set(WRENDLE_FUZZ_COVERAGE -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -g)
set(WRENDLE_FUZZ_UNDEFINED -fsanitize=undefined -fno-sanitize-recover=undefined)

add_library(wrendle_juce STATIC)
target_link_libraries(wrendle_juce PRIVATE juce::juce_core)
target_compile_options(wrendle_juce PRIVATE ${WRENDLE_FUZZ_COVERAGE})
target_compile_definitions(wrendle_juce PUBLIC
    JUCE_STANDALONE_APPLICATION=0
    JUCE_USE_CURL=0
    JUCE_WEB_BROWSER=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JucePlugin_VersionString="${PROJECT_VERSION}")
target_include_directories(wrendle_juce SYSTEM
    INTERFACE $<TARGET_PROPERTY:wrendle_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(wrendle_juce
    INTERFACE $<TARGET_PROPERTY:wrendle_juce,COMPILE_DEFINITIONS>)
target_link_libraries(wrendle_juce PUBLIC Threads::Threads ${CMAKE_DL_LIBS} rt)
