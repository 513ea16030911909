# Warnings are on for our own targets and kept clean.
function(spindrift_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Woverloaded-virtual -Wno-unused-parameter)
endfunction()
