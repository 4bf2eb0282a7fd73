# Warnings (as errors) and sanitizers for the project's own targets only; third-party code such as
# GoogleTest is built with its own flags. Include directories are each library's own.
add_library(velloway_options INTERFACE)
target_compile_options(velloway_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Wold-style-cast -Werror)
# GCC 12 reports false -Wrestrict hits inside std::string concatenation (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(velloway_options INTERFACE -Wno-restrict)
endif()
if(WIN32)
  # Text is UTF-8 inside the program and UTF-16 only at the Win32 boundary.
  target_compile_definitions(velloway_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()
if(VELLOWAY_SANITIZE)
  set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(velloway_options INTERFACE ${sanitize_flags})
  target_link_options(velloway_options INTERFACE ${sanitize_flags})
endif()
