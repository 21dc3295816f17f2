# Build settings shared by every target of the project.
add_library(tessaryn_common INTERFACE)
target_compile_features(tessaryn_common INTERFACE cxx_std_20)
target_compile_options(tessaryn_common INTERFACE -Wall -Wextra -Wno-unused-parameter)
target_compile_definitions(tessaryn_common INTERFACE
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER
  TESSARYN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  TESSARYN_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  TESSARYN_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  TESSARYN_APP_ID="${TESSARYN_APP_ID}"
  TESSARYN_DATA_FROM_BIN="${TESSARYN_DATA_FROM_BIN}")

# A build that finds memory errors and undefined behaviour as the tests run:
# every target compiled and linked with AddressSanitizer and
# UndefinedBehaviorSanitizer (test.sh builds one in build-sanitize).
option(TESSARYN_SANITIZE "Build every target with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TESSARYN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
