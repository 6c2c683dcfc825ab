# One interface target carries the compiler policy for every target of the project.
add_library(quillon_policy INTERFACE)
target_compile_options(quillon_policy INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(quillon_policy INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    # Debug builds check every index into the standard containers, so an
    # index past the end of a fixed array stops the program where it
    # happens instead of overwriting the member behind it.
    $<$<OR:$<CONFIG:Debug>,$<BOOL:${QUILLON_FUZZ}>>:_GLIBCXX_ASSERTIONS>)
if(QUILLON_WERROR)
    target_compile_options(quillon_policy INTERFACE -Werror)
endif()
if(SANITIZER)
    target_compile_options(quillon_policy INTERFACE -fsanitize=${SANITIZER} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(quillon_policy INTERFACE -fsanitize=${SANITIZER})
endif()
