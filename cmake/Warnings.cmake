# One place for the warning flags every target of the project gets.
add_library(kestrane_warnings INTERFACE)
target_compile_options(kestrane_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion-null)
