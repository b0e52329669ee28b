# WRENDLE_SANITIZER=thread   -> ThreadSanitizer build
# WRENDLE_SANITIZER=address  -> AddressSanitizer + UndefinedBehaviorSanitizer build
set(WRENDLE_SANITIZER "" CACHE STRING "Sanitizer build: empty, 'thread' or 'address'")
set_property(CACHE WRENDLE_SANITIZER PROPERTY STRINGS "" thread address)

if(WRENDLE_SANITIZER STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=thread)
    add_compile_definitions(WRENDLE_SANITIZER_BUILD=1)
elseif(WRENDLE_SANITIZER STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
    add_compile_definitions(WRENDLE_SANITIZER_BUILD=1)
elseif(NOT WRENDLE_SANITIZER STREQUAL "")
    message(FATAL_ERROR "Unknown WRENDLE_SANITIZER '${WRENDLE_SANITIZER}'")
endif()
