# JUCE's modules are compiled exactly once, into one static library that every
# target of ours links. Linking the module targets into more than one of our
# targets would compile JUCE twice and risk silent ODR violations.

add_library(wrendle_juce STATIC)

target_link_libraries(wrendle_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_audio_basics
        juce::juce_audio_formats
        juce::juce_audio_processors
        juce::juce_dsp
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_gui_extra
        juce::juce_opengl
    PUBLIC
        juce::juce_recommended_config_flags)

target_compile_definitions(wrendle_juce
    PUBLIC
        JUCE_STANDALONE_APPLICATION=0
        JUCE_USE_CURL=1
        JUCE_LOAD_CURL_SYMBOLS_LAZILY=0
        JUCE_WEB_BROWSER=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_USE_XRANDR=1
        JUCE_USE_XINERAMA=1
        JUCE_USE_XCURSOR=1
        JUCE_MODAL_LOOPS_PERMITTED=0
        JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
        JucePlugin_Name="${WRENDLE_PRODUCT_NAME}"
        JucePlugin_Manufacturer="${WRENDLE_VENDOR}"
        JucePlugin_VersionString="${PROJECT_VERSION}")

# The module sources are compiled here, but their include paths and definitions
# must reach everything that includes a JUCE header.
target_include_directories(wrendle_juce SYSTEM
    INTERFACE $<TARGET_PROPERTY:wrendle_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(wrendle_juce
    INTERFACE $<TARGET_PROPERTY:wrendle_juce,COMPILE_DEFINITIONS>)

# Debian's JUCE carries no third-party code: the libraries it would otherwise
# embed come from the system.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WRENDLE_SYSLIBS REQUIRED IMPORTED_TARGET
    libcurl libjpeg libpng zlib flac vorbis vorbisenc vorbisfile ogg freetype2 fontconfig gl x11)
target_link_libraries(wrendle_juce PUBLIC PkgConfig::WRENDLE_SYSLIBS Threads::Threads ${CMAKE_DL_LIBS} rt)
