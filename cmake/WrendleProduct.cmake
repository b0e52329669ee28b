# The product's identity, written once. The version is project(VERSION); the
# rest is set here. CMake code (the formats, the package, the preset folders)
# reads these variables, C++ code reads the same values from the generated
# header "ProductIdentity.h" (target wrendle_identity).
set(WRENDLE_PRODUCT_NAME "Wrendle Fold")
set(WRENDLE_PRODUCT_KEY "WrendleFold")          # the name without spaces: files and folders
set(WRENDLE_PRODUCT_DESCRIPTION "Stereo sine-wave folder")
set(WRENDLE_VENDOR "Kestrivane")
set(WRENDLE_VENDOR_KEY "Kestrivane")
set(WRENDLE_CLAP_ID "com.Kestrivane.WrendleFold")
set(WRENDLE_VENDOR_SITE "https://kestrivane.com/")
set(WRENDLE_VENDOR_SITE_TEXT "kestrivane.com")
set(WRENDLE_PRODUCT_PAGE "https://kestrivane.com/wrendle-fold/")
set(WRENDLE_NEWS_ADDRESS "https://kestrivane.com/news/")
set(WRENDLE_ACCOUNT_PAGE "https://kestrivane.com/account/?source=pni")
set(WRENDLE_LV2_URI "https://kestrivane.com/wrendle-fold/lv2")
set(WRENDLE_PACKAGE_CONTACT "Kestrivane <packages@kestrivane.com>")

configure_file("${CMAKE_CURRENT_LIST_DIR}/ProductIdentity.h.in"
               "${PROJECT_BINARY_DIR}/generated/ProductIdentity.h" @ONLY)
add_library(wrendle_identity INTERFACE)
target_include_directories(wrendle_identity INTERFACE "${PROJECT_BINARY_DIR}/generated")
